#include "telmio/sms/message_store.h"

#include <algorithm>
#include <cstdint>

#include "common/install_dir.h"
#include "common/stored_string.h"
#include "platform/file.h"
#include "telmio/sms/sms_folders.h"

namespace kvo {
namespace {

constexpr char16_t kSaveFailed[] = u"Save failed.";
constexpr char16_t kReadError[] = u"Error reading datafile.";
constexpr char16_t kPurgeQuestion[] = u"Purge all deleted messages from the Pocket PC?";
// Offsets live in a signed 32-bit field.
constexpr uint64_t kMaxOffset = INT32_MAX;

ce::File OpenForWriting(const std::u16string& path) {
    return ce::File::Open(path, ce::GENERIC_READ | ce::GENERIC_WRITE, ce::FILE_SHARE_NONE,
                          ce::OPEN_ALWAYS);
}

}  // namespace

CSmsStore::CSmsStore(IUserInterface& ui, std::u16string dir)
    : m_ui(ui), m_strDir(dir.empty() ? GetInstallDir() : std::move(dir)) {}

bool CSmsStore::LoadStore() {
    m_list.clear();
    ce::File file = ce::File::OpenRead(StorePath());
    if (!file) {
        ce::File created = ce::File::Create(StorePath());
        created.Close();
        file = ce::File::OpenRead(StorePath());
    }
    if (!file) {
        m_ui.MessageBox(kReadError);
        return false;
    }
    int64_t size = file.Size();
    std::string bytes(size > 0 ? static_cast<size_t>(size) : 0, '\0');
    if (size < 0 || !file.ReadExact(bytes.data(), bytes.size())) {
        m_ui.MessageBox(kReadError);
        return false;
    }
    file.Close();

    uint64_t goodEnd = ParseStore(bytes, m_list);
    if (goodEnd == bytes.size())
        return true;
    CutDamagedTail(goodEnd);
    return false;
}

uint64_t CSmsStore::ParseStore(std::string_view bytes, List& list) {
    MemReader in(bytes);
    for (;;) {
        uint64_t pos = in.Position();
        auto msg = std::make_unique<CSmsMessage>();
        RecordResult r = pos > kMaxOffset ? RecordResult::tooLong : ReadSmsRecord(in, *msg);
        if (r != RecordResult::ok)
            return pos;
        msg->m_nFilePos = static_cast<int32_t>(pos);
        list.push_back(std::move(msg));
    }
}

void CSmsStore::CutDamagedTail(uint64_t goodEnd) {
    // Records appended after an unreadable one would never load again: keep the whole
    // damaged file aside and let the store end where its last good record ends.
    if (!ce::CopyFile(StorePath(), m_strDir + u"kvo.bad", false))
        return;
    ce::File file = OpenForWriting(StorePath());
    if (file && file.Seek(static_cast<int64_t>(goodEnd), ce::FILE_BEGIN) >= 0)
        file.SetEndOfFile();
}

bool CSmsStore::ReadBack(CSmsMessage& msg, ce::File& file, std::u16string& number,
                         std::u16string& text) {
    if (file.Seek(msg.m_nFilePos, ce::FILE_BEGIN) < 0)
        return false;
    FileReader in(file);
    int32_t state;
    return in.ReadI32(state) &&
           ReadStoredString(in, kMaxStoreStringUnits, number) == StoredStringError::ok &&
           ReadStoredString(in, kMaxStoreStringUnits, text) == StoredStringError::ok;
}

bool CSmsStore::WriteMessage(CSmsMessage& msg) {
    MemWriter record;
    if (!WriteSmsRecord(record, msg)) {
        m_ui.MessageBox(kSaveFailed);
        return false;
    }
    ce::File file = OpenForWriting(StorePath());
    if (!file) {
        m_ui.MessageBox(kSaveFailed);
        return false;
    }
    if (msg.m_nFilePos >= 0) {
        std::u16string number, text;
        if (!ReadBack(msg, file, number, text)) {
            // The old record is gone or damaged; a new one keeps the message.
            m_ui.MessageBox(kReadError);
            msg.m_nFilePos = -1;
        } else if (number != msg.m_strNumber || text != msg.m_strText) {
            // The old version stays on file as deleted until the next rewrite.
            MemWriter state;
            state.WriteI32(SMS_DELETED);
            if (file.Seek(msg.m_nFilePos, ce::FILE_BEGIN) < 0 || !file.Write(state.Bytes())) {
                m_ui.MessageBox(kSaveFailed);
                return false;
            }
            msg.m_nFilePos = -1;
        }
    }
    bool bAppend = msg.m_nFilePos < 0;
    int64_t pos = bAppend ? file.Seek(0, ce::FILE_END) : file.Seek(msg.m_nFilePos, ce::FILE_BEGIN);
    if (pos < 0 || static_cast<uint64_t>(pos) > kMaxOffset) {
        m_ui.MessageBox(kSaveFailed);
        return false;
    }
    if (!file.Write(record.Bytes())) {
        // Leave no half record behind an append: it would end every later load there.
        if (bAppend && file.Seek(pos, ce::FILE_BEGIN) >= 0)
            file.SetEndOfFile();
        m_ui.MessageBox(kSaveFailed);
        return false;
    }
    msg.m_nFilePos = static_cast<int32_t>(pos);
    return true;
}

bool CSmsStore::SaveStore() {
    // Lay the new file out first; the list changes only once it is safely on disk, so the
    // offsets it holds always match the file that is there.
    MemWriter bytes;
    std::vector<int32_t> offsets;
    offsets.reserve(m_list.size());
    for (const auto& msg : m_list) {
        if (msg->m_nState == SMS_PURGED)
            continue;
        uint64_t pos = bytes.Bytes().size();
        if (pos > kMaxOffset || !WriteSmsRecord(bytes, *msg)) {
            m_ui.MessageBox(kSaveFailed);
            return false;
        }
        offsets.push_back(static_cast<int32_t>(pos));
    }
    ce::File tmp = ce::File::Create(TempPath());
    if (!tmp) {
        m_ui.MessageBox(kSaveFailed);
        return false;
    }
    bool ok = tmp.Write(bytes.Bytes()) && tmp.Flush();
    tmp.Close();
    // "kvo.tmp" stays; "kvo.sms" is replaced by rename, so a crash leaves the old or the new.
    if (!ok || !ce::WriteFileAtomic(StorePath(), bytes.Bytes())) {
        m_ui.MessageBox(kSaveFailed);
        return false;
    }
    std::erase_if(m_list, [](const auto& m) { return m->m_nState == SMS_PURGED; });
    for (size_t i = 0; i < m_list.size(); ++i) m_list[i]->m_nFilePos = offsets[i];
    return true;
}

CSmsMessage& CSmsStore::AddMessage(std::unique_ptr<CSmsMessage> msg) {
    CSmsMessage& ref = *msg;
    m_list.push_back(std::move(msg));
    WriteMessage(ref);
    return ref;
}

bool CSmsStore::DeleteMessage(CSmsMessage& msg) {
    msg.m_nState = msg.m_nState == SMS_DELETED ? SMS_PURGED : SMS_DELETED;
    return WriteMessage(msg);
}

bool CSmsStore::MoveMessage(CSmsMessage& msg, int code) {
    int32_t state, folder;
    if (!StateForMoveCode(code, state, folder))
        return false;
    msg.m_nState = state;
    msg.m_nFolder = folder;
    return WriteMessage(msg);
}

bool CSmsStore::Purge() {
    if (!m_ui.Ask(kPurgeQuestion))
        return false;
    for (auto& msg : m_list) {
        if (msg->m_nState == SMS_DELETED)
            msg->m_nState = SMS_PURGED;
    }
    return SaveStore();
}

bool CSmsStore::DeleteFolderMessages(int folderId) {
    bool ok = true;
    for (auto& msg : m_list) {
        if (msg->m_nState != SMS_USER_FOLDER || msg->m_nFolder != folderId)
            continue;
        msg->m_nState = SMS_DELETED;
        msg->m_nFolder = 0;
        ok = WriteMessage(*msg) && ok;
    }
    return ok;
}

}  // namespace kvo
