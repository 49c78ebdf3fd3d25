#include "tools/kvo/book_session.h"

#include <ostream>

#include "platform/profile.h"
#include "platform/text.h"

namespace kvo::cli {

CBookSession::CBookSession(std::ostream& err)
    : m_err(err), m_ui(err), m_doc(m_ui), m_book(m_doc, m_ui) {
    ce::SetAppName(u"telmio");
}

void CBookSession::Load() {
    m_doc.Settings().LoadSettings();
    m_book.LoadPhonebook();
}

bool CBookSession::SavePhonebook() {
    if (m_book.SavePhonebook()) return true;
    m_err << "kvo: the phonebook file cannot be written\n";
    return false;
}

bool CBookSession::LoadForEdit() {
    m_lock = ce::File::OpenWait(m_doc.AppDir() + u"kvo.lock", ce::GENERIC_WRITE,
                                ce::FILE_SHARE_NONE, ce::CREATE_ALWAYS, 3000);
    if (!m_lock) {
        m_err << "kvo: a phone session is running (kvo.lock is held); try again when it ends\n";
        return false;
    }
    Load();
    return true;
}

bool CBookSession::LoadForPhone() {
    if (!m_doc.OnNewDocument(false)) {
        m_err << "kvo: the client cannot start on this device\n";
        return false;
    }
    m_book.LoadPhonebook();
    return true;
}

std::optional<uint32_t> StorageFlag(const std::string& name) {
    if (name == "SM" || name == "sm")
        return STORAGE_SIM;
    if (name == "ME" || name == "me")
        return STORAGE_PHONE;
    return std::nullopt;
}

const char* StorageName(uint32_t flag) {
    return (flag & kStorageMask) == STORAGE_PHONE ? "ME" : "SM";
}

std::optional<uint32_t> LocationIndex(const std::string& text) {
    if (text.empty() || text.size() > 9)
        return std::nullopt;
    uint32_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        v = v * 10 + static_cast<uint32_t>(c - '0');
    }
    if (v == 0 || v > kIndexMask)
        return std::nullopt;
    return v;
}

std::string Field(const std::u16string& text) {
    std::u16string out;
    for (char16_t c : text) {
        if (c == u'\t')
            out += u"\\t";
        else if (c == u'\n')
            out += u"\\n";
        else if (c == u'\r')
            out += u"\\r";
        else if (c == u'\\')
            out += u"\\\\";
        else
            out += c;
    }
    return ce::ToUtf8(out);
}

}  // namespace kvo::cli
