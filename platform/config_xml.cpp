#include "config_xml.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <climits>
#include <memory>
#include <set>

#include "platform/error.h"
#include "platform/registry.h"
#include "platform/text.h"

namespace ce {

const char16_t* const kEmail2Key = u"SOFTWARE\\Microsoft\\EMAIL2";

namespace {

constexpr size_t kMaxDocumentBytes = 1 << 20;

struct DocFree {
    void operator()(xmlDoc* d) const { xmlFreeDoc(d); }
};
struct CtxtFree {
    void operator()(xmlParserCtxt* c) const { xmlFreeParserCtxt(c); }
};

// A provisioning document needs no DTD and no entities of its own: refusing them keeps a
// small document from expanding into a huge one or reaching for outside files.
void Refuse(xmlParserCtxt* c) {
    c->_private = c;
    xmlStopParser(c);
}
void RefuseEntity(void* ctx, const xmlChar*, int, const xmlChar*, const xmlChar*, xmlChar*) {
    Refuse(static_cast<xmlParserCtxt*>(ctx));
}
void RefuseSubset(void* ctx, const xmlChar*, const xmlChar*, const xmlChar*) {
    Refuse(static_cast<xmlParserCtxt*>(ctx));
}

bool Is(const xmlNode* n, const char* name) {
    return n->type == XML_ELEMENT_NODE && xmlStrcmp(n->name, BAD_CAST name) == 0;
}

std::string Where(const xmlNode* n) {
    return "line " + std::to_string(xmlGetLineNo(n));
}

class CReader {
public:
    explicit CReader(ConfigDocument& doc) : m_doc(doc) {}

    bool Read(const xmlNode* root) {
        if (!root || !Is(root, "wap-provisioningdoc"))
            return Fail("not a provisioning document (the root is not <wap-provisioningdoc>)");
        if (!OnlyAttributes(root, {}, {}))
            return false;
        std::vector<const xmlNode*> services;
        if (!Children(root, services))
            return false;
        for (const xmlNode* s : services) {
            if (!Is(s, "characteristic"))
                return Fail(Where(s) + ": <" + Name(s) + "> is not a characteristic");
            std::u16string type;
            if (!TypeOf(s, type))
                return false;
            if (type == u"CM_Networks") {
                if (!Networks(s))
                    return false;
            } else if (type == u"EMAIL2") {
                if (!Email(s))
                    return false;
            } else {
                return Fail(Where(s) + ": unknown configuration service \"" + ToUtf8(type) + "\"");
            }
        }
        return true;
    }

    const std::string& Error() const { return m_error; }

private:
    bool Fail(std::string why) {
        if (m_error.empty())
            m_error = std::move(why);
        return false;
    }

    static std::string Name(const xmlNode* n) { return reinterpret_cast<const char*>(n->name); }

    // Element children; text between them may only be blanks.
    bool Children(const xmlNode* e, std::vector<const xmlNode*>& out) {
        for (const xmlNode* c = e->children; c; c = c->next) {
            if (c->type == XML_ELEMENT_NODE) {
                out.push_back(c);
            } else if (c->type == XML_TEXT_NODE) {
                for (const xmlChar* p = c->content; p && *p; ++p)
                    if (*p != ' ' && *p != '\t' && *p != '\r' && *p != '\n')
                        return Fail(Where(e) + ": text inside <" + Name(e) + ">");
            } else if (c->type != XML_COMMENT_NODE) {
                return Fail(Where(e) + ": unexpected content inside <" + Name(e) + ">");
            }
        }
        return true;
    }

    // The attributes present must be exactly `required` plus any of `optional`.
    bool OnlyAttributes(const xmlNode* e, std::set<std::string> required,
                        const std::set<std::string>& optional) {
        for (const xmlAttr* a = e->properties; a; a = a->next) {
            std::string name = reinterpret_cast<const char*>(a->name);
            if (a->ns || (!required.erase(name) && !optional.count(name)))
                return Fail(Where(e) + ": unexpected attribute \"" + name + "\"");
        }
        if (!required.empty())
            return Fail(Where(e) + ": <" + Name(e) + "> needs \"" + *required.begin() + "\"");
        return true;
    }

    bool Attr(const xmlNode* e, const char* name, std::u16string& out) {
        xmlChar* v = xmlGetProp(e, BAD_CAST name);
        if (!v)
            return Fail(Where(e) + ": <" + Name(e) + "> needs \"" + name + "\"");
        std::optional<std::u16string> text = FromUtf8Strict(reinterpret_cast<const char*>(v));
        xmlFree(v);
        if (!text)
            return Fail(Where(e) + ": \"" + name + "\" is not valid text");
        out = std::move(*text);
        return true;
    }

    bool TypeOf(const xmlNode* c, std::u16string& type) {
        return OnlyAttributes(c, {"type"}, {}) && Attr(c, "type", type);
    }

    // <parm name=".." value=".."/> children of `c`, by name; each at most once.
    bool Parms(const xmlNode* c, std::vector<std::pair<std::u16string, std::u16string>>& out) {
        std::vector<const xmlNode*> kids;
        if (!Children(c, kids))
            return false;
        for (const xmlNode* p : kids) {
            if (!Is(p, "parm"))
                return Fail(Where(p) + ": <" + Name(p) + "> where a parm belongs");
            std::vector<const xmlNode*> none;
            if (!Children(p, none))
                return false;
            if (!none.empty())
                return Fail(Where(p) + ": a parm holds no elements");
            std::u16string name, value;
            if (!OnlyAttributes(p, {"name", "value"}, {}) || !Attr(p, "name", name) ||
                !Attr(p, "value", value))
                return false;
            for (const auto& [seen, v] : out)
                if (EqualsNoCase(seen, name))
                    return Fail(Where(p) + ": parm \"" + ToUtf8(name) + "\" given twice");
            out.emplace_back(std::move(name), std::move(value));
        }
        return true;
    }

    // Each child names a network; its one parm DestId is the network's GUID.
    bool Networks(const xmlNode* s) {
        std::vector<const xmlNode*> nets;
        if (!Children(s, nets))
            return false;
        for (const xmlNode* n : nets) {
            std::u16string name;
            if (!Is(n, "characteristic"))
                return Fail(Where(n) + ": <" + Name(n) + "> where a network belongs");
            if (!TypeOf(n, name))
                return false;
            if (!IsValidRegKeyName(name))
                return Fail(Where(n) + ": \"" + ToUtf8(name) + "\" cannot name a network");
            std::vector<std::pair<std::u16string, std::u16string>> parms;
            if (!Parms(n, parms))
                return false;
            for (const auto& [pname, value] : parms) {
                if (pname != u"DestId")
                    return Fail(Where(n) + ": unknown network parm \"" + ToUtf8(pname) + "\"");
                auto guid = GuidFromString(value);
                if (!guid)
                    return Fail(Where(n) + ": DestId \"" + ToUtf8(value) + "\" is not a GUID");
                m_doc.settings.push_back({std::u16string(kConnMgrDestinationsKey) + u"\\" + name,
                                          u"DestId", GuidToString(*guid)});
            }
        }
        return true;
    }

    bool Email(const xmlNode* s) {
        static const std::set<std::u16string> known = {
            u"SERVICENAME", u"SERVICETYPE", u"INSERVER",  u"OUTSERVER",
            u"AUTHNAME",    u"AUTHSECRET",  u"REPLYADDR", u"DOMAIN"};
        std::vector<const xmlNode*> accounts;
        if (!Children(s, accounts))
            return false;
        for (const xmlNode* a : accounts) {
            std::u16string id;
            if (!Is(a, "characteristic"))
                return Fail(Where(a) + ": <" + Name(a) + "> where an account belongs");
            if (!TypeOf(a, id))
                return false;
            auto guid = GuidFromString(id);
            if (!guid)
                return Fail(Where(a) + ": account \"" + ToUtf8(id) + "\" is not a GUID");
            std::vector<std::pair<std::u16string, std::u16string>> parms;
            if (!Parms(a, parms))
                return false;
            std::u16string key = std::u16string(kEmail2Key) + u"\\" + GuidToString(*guid);
            for (const auto& [pname, value] : parms) {
                if (!known.count(pname))
                    return Fail(Where(a) + ": unknown mail parm \"" + ToUtf8(pname) + "\"");
                if (pname == u"SERVICETYPE" && value != u"POP3" && value != u"IMAP4")
                    return Fail(Where(a) + ": SERVICETYPE must be POP3 or IMAP4");
                if (!IsValidRegValueName(value))  // no control characters in a stored text
                    return Fail(Where(a) + ": " + ToUtf8(pname) + " holds a control character");
                m_doc.settings.push_back({key, pname, value});
            }
        }
        return true;
    }

    ConfigDocument& m_doc;
    std::string m_error;
};

}  // namespace

bool ParseConfigXml(std::string_view utf8, ConfigDocument& doc, std::string& error) {
    doc = {};
    if (utf8.size() > kMaxDocumentBytes) {
        error = "document larger than " + std::to_string(kMaxDocumentBytes) + " bytes";
        return false;
    }
    std::unique_ptr<xmlParserCtxt, CtxtFree> ctxt(xmlNewParserCtxt());
    if (!ctxt) {
        error = "out of memory";
        return false;
    }
    ctxt->sax->entityDecl = RefuseEntity;
    ctxt->sax->internalSubset = RefuseSubset;
    ctxt->sax->externalSubset = RefuseSubset;
    int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_NOCDATA;
    std::unique_ptr<xmlDoc, DocFree> xml(xmlCtxtReadMemory(
        ctxt.get(), utf8.data(), static_cast<int>(utf8.size()), "config.xml", "UTF-8", options));
    if (ctxt->_private) {
        error = "document type declarations and entities are not accepted";
        return false;
    }
    if (!xml || !ctxt->wellFormed) {
        const xmlError* e = xmlCtxtGetLastError(ctxt.get());
        error = "not well-formed XML";
        if (e && e->message) {
            std::string msg = e->message;
            while (!msg.empty() && (msg.back() == '\n' || msg.back() == ' ')) msg.pop_back();
            error += " (line " + std::to_string(e->line) + ": " + msg + ")";
        }
        return false;
    }
    CReader reader(doc);
    if (!reader.Read(xmlDocGetRootElement(xml.get()))) {
        error = reader.Error();
        doc = {};
        return false;
    }
    return true;
}

void ApplyConfigDocument(const ConfigDocument& doc, RegKey& root) {
    for (const ConfigSetting& s : doc.settings) {
        RegKey* key = root.Find(s.strKey, true);
        auto& slot = key->values[FoldCase(s.strName)];
        if (slot.name.empty())
            slot.name = s.strName;
        slot.value = RegValue::Sz(s.strValue);
    }
}

HRESULT DMProcessConfigXML(std::u16string_view xml, uint32_t flags, std::u16string* result) {
    if (!(flags & CFGFLAG_PROCESS) || (flags & ~(CFGFLAG_PROCESS | CFGFLAG_METADATA))) {
        SetLastErrorWith(ERROR_INVALID_PARAMETER, "configuration documents are only processed");
        return E_INVALIDARG;
    }
    std::optional<std::string> utf8 = ToUtf8Strict(xml);
    ConfigDocument doc;
    std::string error = "the document is not valid UTF-16";
    if (!utf8 || !ParseConfigXml(*utf8, doc, error)) {
        SetLastErrorWith(ERROR_INVALID_DATA, "configuration document rejected: " + error);
        return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
    }
    if (!RegTransact(HKEY_LOCAL_MACHINE, [&](RegKey& root) {
            ApplyConfigDocument(doc, root);
            return true;
        }))
        return HRESULT_FROM_WIN32(GetLastError() ? GetLastError() : ERROR_GEN_FAILURE);
    if (result)
        *result = std::u16string(xml);
    return S_OK;
}

}  // namespace ce
