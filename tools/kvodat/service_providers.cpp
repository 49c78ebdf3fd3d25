#include "tools/kvodat/service_providers.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <climits>
#include <memory>

namespace kvo::kvodat {
namespace {

struct DocFree {
    void operator()(xmlDoc* d) const { xmlFreeDoc(d); }
};
struct CtxtFree {
    void operator()(xmlParserCtxt* c) const { xmlFreeParserCtxt(c); }
};

bool Is(const xmlNode* n, const char* name) {
    return n->type == XML_ELEMENT_NODE && xmlStrcmp(n->name, BAD_CAST name) == 0;
}

// A provider list needs no entities of its own; refusing their declarations keeps a small
// file from expanding into a huge one.
void RefuseEntity(void* ctx, const xmlChar*, int, const xmlChar*, const xmlChar*, xmlChar*) {
    auto* c = static_cast<xmlParserCtxt*>(ctx);
    c->_private = c;
    xmlStopParser(c);
}

std::string Where(const xmlNode* n) { return "line " + std::to_string(xmlGetLineNo(n)); }

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Trimmed, runs of white space made one space: element text in the file is often indented.
std::string Tidy(std::string_view s) {
    std::string out;
    bool space = false;
    for (char c : s) {
        if (IsSpace(c)) {
            space = !out.empty();
            continue;
        }
        if (space) out += ' ';
        space = false;
        out += c;
    }
    return out;
}

class CReader {
public:
    CReader(std::vector<CProvider>& providers, std::vector<std::string>& warnings)
        : m_providers(providers), m_warnings(warnings) {}

    bool Read(const xmlNode* root, std::string& error) {
        if (!root || !Is(root, "serviceproviders")) {
            error = "not a service provider list (the root element is not <serviceproviders>)";
            return false;
        }
        for (const xmlNode* c = root->children; c; c = c->next)
            if (Is(c, "country") && !Country(c)) break;
        if (!m_error.empty()) {
            error = m_error;
            return false;
        }
        return true;
    }

private:
    // The element's text. Entities the document defines itself are refused: their text is
    // not in the tree, and expanding them is how a small file becomes a huge one.
    bool Text(const xmlNode* e, std::string& out) {
        std::string raw;
        for (const xmlNode* c = e->children; c; c = c->next) {
            if (c->type == XML_TEXT_NODE || c->type == XML_CDATA_SECTION_NODE) {
                if (c->content) raw += reinterpret_cast<const char*>(c->content);
            } else if (c->type == XML_ENTITY_REF_NODE) {
                m_error = Where(e) + ": entity &" + reinterpret_cast<const char*>(c->name) +
                          "; is not supported";
                return false;
            }
        }
        out = Tidy(raw);
        return true;
    }

    std::string Attr(const xmlNode* e, const char* name) {
        xmlChar* v = xmlGetNoNsProp(e, BAD_CAST name);
        if (!v) return {};
        std::string s = Tidy(reinterpret_cast<const char*>(v));
        xmlFree(v);
        return s;
    }

    std::string Lang(const xmlNode* e) {
        xmlChar* v = xmlNodeGetLang(e);
        if (!v) return {};
        std::string s = reinterpret_cast<const char*>(v);
        xmlFree(v);
        return s;
    }

    void Warn(const xmlNode* e, const std::string& what) {
        m_warnings.push_back(Where(e) + ": " + what);
    }

    static bool Digits(const std::string& s, size_t min, size_t max) {
        if (s.size() < min || s.size() > max) return false;
        for (char c : s)
            if (c < '0' || c > '9') return false;
        return true;
    }

    bool Country(const xmlNode* country) {
        std::string code = Attr(country, "code");
        for (const xmlNode* c = country->children; c; c = c->next)
            if (Is(c, "provider") && !Provider(c, code)) return false;
        return true;
    }

    bool Provider(const xmlNode* e, const std::string& country) {
        CProvider p;
        p.m_strCountry = country;
        p.m_bPrimary = Attr(e, "primary") == "true";
        p.m_nLine = static_cast<int>(xmlGetLineNo(e));
        for (const xmlNode* c = e->children; c; c = c->next) {
            if (Is(c, "name")) {
                CProviderName n;
                if (!Text(c, n.m_strText)) return false;
                n.m_strLang = Lang(c);
                if (!n.m_strText.empty()) p.m_names.push_back(std::move(n));
            } else if (Is(c, "gsm")) {
                if (!Gsm(c, p)) return false;
            }
        }
        if (p.m_names.empty()) {
            Warn(e, "a provider without a name, left out");
            return true;
        }
        m_providers.push_back(std::move(p));
        return true;
    }

    bool Gsm(const xmlNode* gsm, CProvider& p) {
        for (const xmlNode* c = gsm->children; c; c = c->next) {
            if (Is(c, "network-id")) {
                std::string mcc = Attr(c, "mcc"), mnc = Attr(c, "mnc");
                // What a phone shows in numeric mode: three digits of country, two or three
                // of network.
                if (!Digits(mcc, 3, 3) || !Digits(mnc, 2, 3)) {
                    Warn(c, "network id \"" + mcc + "\"/\"" + mnc +
                                "\" is not a network id, left out");
                    continue;
                }
                p.m_networkIds.push_back(mcc + mnc);
            } else if (Is(c, "apn")) {
                CProviderApn a;
                if (!Apn(c, a)) return false;
                if (a.m_strValue.empty()) {
                    Warn(c, "an access point without a name, left out");
                    continue;
                }
                p.m_apns.push_back(std::move(a));
            }
        }
        return true;
    }

    bool Apn(const xmlNode* e, CProviderApn& a) {
        xmlChar* raw = xmlGetNoNsProp(e, BAD_CAST "value");
        if (raw) {
            // Kept as written apart from the ends: a space inside is the provider's mistake
            // or real, and the importer decides.
            std::string v = reinterpret_cast<const char*>(raw);
            xmlFree(raw);
            size_t b = 0, z = v.size();
            while (b < z && IsSpace(v[b])) ++b;
            while (z > b && IsSpace(v[z - 1])) --z;
            a.m_strValue = v.substr(b, z - b);
        }
        a.m_nLine = static_cast<int>(xmlGetLineNo(e));
        for (const xmlNode* c = e->children; c; c = c->next) {
            std::string text;
            if (Is(c, "usage")) {
                a.m_strUsage = Attr(c, "type");
            } else if (Is(c, "plan")) {
                a.m_plans.push_back(Attr(c, "type"));
            } else if (Is(c, "name")) {
                if (!Text(c, text)) return false;
                if (a.m_strName.empty()) a.m_strName = text;
            } else if (Is(c, "username")) {
                if (!Text(c, a.m_strUser)) return false;
            } else if (Is(c, "password")) {
                if (!Text(c, a.m_strPassword)) return false;
            } else if (Is(c, "dns")) {
                if (!Text(c, text)) return false;
                if (!text.empty()) a.m_dns.push_back(text);
            }
        }
        return true;
    }

    std::vector<CProvider>& m_providers;
    std::vector<std::string>& m_warnings;
    std::string m_error;
};

}  // namespace

bool ReadServiceProviders(std::string_view xml, std::vector<CProvider>& providers,
                          std::vector<std::string>& warnings, std::string& error) {
    providers.clear();
    if (xml.size() > INT_MAX) {
        error = "the file is too large";
        return false;
    }
    std::unique_ptr<xmlParserCtxt, CtxtFree> ctxt(xmlNewParserCtxt());
    if (!ctxt) {
        error = "out of memory";
        return false;
    }
    ctxt->sax->entityDecl = RefuseEntity;
    ctxt->_private = nullptr;
    // No network, no external DTD, no entity substitution; errors come back to us instead of
    // being printed.
    int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_NOCDATA;
    std::unique_ptr<xmlDoc, DocFree> doc(xmlCtxtReadMemory(
        ctxt.get(), xml.data(), static_cast<int>(xml.size()), "serviceproviders.xml", nullptr,
        options));
    if (ctxt->_private) {
        error = "the document declares entities of its own, which a provider list never needs";
        return false;
    }
    if (!doc) {
        const xmlError* e = xmlCtxtGetLastError(ctxt.get());
        std::string what = e && e->message ? Tidy(e->message) : "unreadable";
        error = e && e->line > 0 ? "line " + std::to_string(e->line) + ": " + what
                                 : "not XML: " + what;
        return false;
    }
    CReader reader(providers, warnings);
    return reader.Read(xmlDocGetRootElement(doc.get()), error);
}

}  // namespace kvo::kvodat
