#include "telmio/sms/message_store.h"

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdint>

#include "common/install_dir.h"
#include "common/stored_string.h"
#include "platform/device.h"
#include "platform/error.h"
#include "platform/file.h"
#include "telmio/sms/sms_folders.h"

namespace kvo {
namespace {

constexpr char16_t kSaveFailed[] = u"Save failed.";
constexpr char16_t kReadError[] = u"Error reading datafile.";
constexpr char16_t kPurgeQuestion[] = u"Purge all deleted messages from the Pocket PC?";
// Offsets live in a signed 32-bit field.
constexpr uint64_t kMaxOffset = INT32_MAX;

// The bytes of a record; what the file holds for it.
std::string RecordBytes(const CSmsMessage& msg) {
    MemWriter w;
    return WriteSmsRecord(w, msg) ? w.Bytes() : std::string();
}

// What makes two records the same message whatever happened to it since: who, what, when
// and where on the phone, not its state, tick or folder.
std::string ContentKey(const CSmsMessage& msg) {
    CSmsMessage key = msg;
    key.m_nState = 0;
    key.m_bMarked = false;
    key.m_nFolder = 0;
    return RecordBytes(key);
}

}  // namespace

CSmsStore::CSmsStore(IUserInterface& ui, std::u16string dir)
    : m_ui(ui), m_strDir(dir.empty() ? GetInstallDir() : std::move(dir)) {}

ce::File CSmsStore::LockFile(uint32_t access, uint32_t share, ce::Disposition disposition,
                             FileId& id) {
    using Clock = std::chrono::steady_clock;
    auto deadline = Clock::now() + std::chrono::milliseconds(m_nLockWaitMs);
    std::string host = ce::MapPath(StorePath()).string();
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        ce::File file =
            ce::File::OpenWait(StorePath(), access, share, disposition,
                               static_cast<uint32_t>(std::max<int64_t>(0, left.count())));
        if (!file)
            return file;
        struct stat held {
        }, named{};
        if (fstat(file.Fd(), &held) != 0) {
            ce::SetLastError(ce::ERROR_GEN_FAILURE);
            return ce::File();
        }
        // A rewrite replaced the file while this one waited for its lock: the lock must be
        // on the file the name leads to now.
        if (stat(host.c_str(), &named) == 0 && named.st_dev == held.st_dev &&
            named.st_ino == held.st_ino) {
            id = {static_cast<uint64_t>(held.st_dev), static_cast<uint64_t>(held.st_ino)};
            return file;
        }
        file.Close();
        if (Clock::now() >= deadline) {
            ce::SetLastError(ce::ERROR_SHARING_VIOLATION);
            return ce::File();
        }
    }
}

bool CSmsStore::ReadAllBytes(ce::File& file, std::string& bytes) {
    int64_t size = file.Size();
    if (size < 0 || size > static_cast<int64_t>(kMaxOffset) * 2 || file.Seek(0, ce::FILE_BEGIN) < 0)
        return false;
    bytes.assign(static_cast<size_t>(size), '\0');
    return file.ReadExact(bytes.data(), bytes.size());
}

void CSmsStore::Remember(const List& parsed) {
    // Records as this store would write them: a file may hold bits the record drops (unused
    // flag bits), and those must not make a record look changed.
    m_known.clear();
    for (const auto& m : parsed)
        if (m->m_nFilePos >= 0)
            m_known[m->m_nFilePos] = RecordBytes(*m);
}

bool CSmsStore::LoadStore() {
    m_list.clear();
    m_known.clear();
    m_bLoaded = false;
    m_base = {};
    FileId id;
    ce::File file = LockFile(ce::GENERIC_READ, ce::FILE_SHARE_READ, ce::OPEN_EXISTING, id);
    if (!file && ce::GetLastError() == ce::ERROR_FILE_NOT_FOUND) {
        // Only a store that is not there yet is created; CREATE_NEW never empties one that
        // another program made in the meantime.
        ce::File::Open(StorePath(), ce::GENERIC_WRITE, ce::FILE_SHARE_NONE, ce::CREATE_NEW);
        file = LockFile(ce::GENERIC_READ, ce::FILE_SHARE_READ, ce::OPEN_EXISTING, id);
    }
    std::string bytes;
    if (!file || !ReadAllBytes(file, bytes)) {
        m_ui.MessageBox(kReadError);
        return false;
    }
    file.Close();

    uint64_t goodEnd = ParseStore(bytes, m_list);
    Remember(m_list);
    m_base = id;
    m_bLoaded = true;
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
    // damaged file aside and let the store end where its last good record ends. Only the
    // file that was read is cut, never one that another program has rewritten since.
    FileId id;
    ce::File file =
        LockFile(ce::GENERIC_READ | ce::GENERIC_WRITE, ce::FILE_SHARE_NONE, ce::OPEN_EXISTING, id);
    std::string bytes;
    if (!file || !(id == m_base) || !ReadAllBytes(file, bytes) || bytes.size() < goodEnd)
        return;
    if (!ce::WriteFileAtomic(m_strDir + u"kvo.bad", bytes))
        return;
    if (file.Seek(static_cast<int64_t>(goodEnd), ce::FILE_BEGIN) >= 0 && file.SetEndOfFile())
        file.Flush();
}

void CSmsStore::Merge(std::string_view bytes, bool bSameFile) {
    List disk;
    ParseStore(bytes, disk);
    if (!bSameFile) {
        // Another program rewrote the file: offsets say nothing, contents do. A message this
        // list has not changed since it last saw the file takes the file's version, or goes
        // (purged) when the file no longer holds it; one it changed or added wins; what only
        // the file holds is taken in.
        std::unordered_map<std::string, std::vector<CSmsMessage*>> onDisk;
        for (auto& d : disk) onDisk[ContentKey(*d)].push_back(d.get());
        std::unordered_map<CSmsMessage*, bool> used;
        for (auto& m : m_list) {
            auto known = m_known.find(m->m_nFilePos);
            bool clean =
                m->m_nFilePos >= 0 && known != m_known.end() && known->second == RecordBytes(*m);
            auto it = onDisk.find(ContentKey(*m));
            CSmsMessage* match = nullptr;
            if (it != onDisk.end() && !it->second.empty()) {
                match = it->second.back();
                it->second.pop_back();
                used[match] = true;
            }
            if (!clean)
                continue;
            if (match)
                *m = *match;
            else
                m->m_nState = SMS_PURGED;
            m->m_nFilePos = -1;
        }
        for (auto& d : disk) {
            if (used.count(d.get()))
                continue;
            d->m_nFilePos = -1;
            m_list.push_back(std::move(d));
        }
        return;
    }
    std::unordered_map<int32_t, CSmsMessage*> byPos;
    for (const auto& m : m_list)
        if (m->m_nFilePos >= 0)
            byPos[m->m_nFilePos] = m.get();
    for (auto& d : disk) {
        int32_t pos = d->m_nFilePos;
        std::string record = RecordBytes(*d);
        auto known = m_known.find(pos);
        if (known == m_known.end()) {
            // Appended by another program since this list was read.
            m_known[pos] = std::move(record);
            m_list.push_back(std::move(d));
            continue;
        }
        if (known->second == record)
            continue;
        // Rewritten in place by another program: its version wins unless this list changed
        // the message too.
        auto mine = byPos.find(pos);
        if (mine != byPos.end() && RecordBytes(*mine->second) == known->second) {
            *mine->second = *d;
            mine->second->m_nFilePos = pos;
        }
        known->second = std::move(record);
    }
}

bool CSmsStore::WriteMessage(CSmsMessage& msg) {
    std::string record = RecordBytes(msg);
    if (record.empty()) {
        m_ui.MessageBox(kSaveFailed);
        return false;
    }
    FileId id;
    ce::File file =
        LockFile(ce::GENERIC_READ | ce::GENERIC_WRITE, ce::FILE_SHARE_NONE, ce::OPEN_ALWAYS, id);
    if (!file) {
        m_ui.MessageBox(kSaveFailed);
        return false;
    }
    bool bSameFile = m_base != FileId{} && id == m_base;
    if (msg.m_nFilePos >= 0 && !bSameFile) {
        // The offset belongs to a file that is gone; only a whole merge finds the record.
        return SaveLocked(file, id, false);
    }
    if (msg.m_nFilePos >= 0) {
        CSmsMessage onDisk;
        FileReader in(file);
        bool read = file.Seek(msg.m_nFilePos, ce::FILE_BEGIN) >= 0 &&
                    ReadSmsRecord(in, onDisk) == RecordResult::ok;
        auto known = m_known.find(msg.m_nFilePos);
        bool ours = read && known != m_known.end() && RecordBytes(onDisk) == known->second;
        if (!read) {
            // The old record is gone or damaged; a new one keeps the message.
            m_ui.MessageBox(kReadError);
            msg.m_nFilePos = -1;
        } else if (onDisk.m_strNumber != msg.m_strNumber || onDisk.m_strText != msg.m_strText) {
            if (ours) {
                // The old version stays on file as deleted until the next rewrite.
                MemWriter state;
                state.WriteI32(SMS_DELETED);
                if (file.Seek(msg.m_nFilePos, ce::FILE_BEGIN) < 0 || !file.Write(state.Bytes())) {
                    m_ui.MessageBox(kSaveFailed);
                    return false;
                }
                known->second.replace(0, 4, state.Bytes());
            }
            // Not ours (a cut tail let another record take the place): left alone.
            msg.m_nFilePos = -1;
        }
    }
    bool bAppend = msg.m_nFilePos < 0;
    int64_t pos = bAppend ? file.Seek(0, ce::FILE_END) : file.Seek(msg.m_nFilePos, ce::FILE_BEGIN);
    if (pos < 0 || static_cast<uint64_t>(pos) > kMaxOffset) {
        m_ui.MessageBox(kSaveFailed);
        return false;
    }
    // Durable before it counts: a message is deleted on the phone once its record is here.
    if (!file.Write(record) || !file.Flush()) {
        // Leave no half record behind an append: it would end every later load there.
        if (bAppend && file.Seek(pos, ce::FILE_BEGIN) >= 0)
            file.SetEndOfFile();
        m_ui.MessageBox(kSaveFailed);
        return false;
    }
    msg.m_nFilePos = static_cast<int32_t>(pos);
    if (bSameFile)
        m_known[msg.m_nFilePos] = record;
    return true;
}

bool CSmsStore::Refresh() {
    FileId id;
    ce::File file =
        LockFile(ce::GENERIC_READ | ce::GENERIC_WRITE, ce::FILE_SHARE_NONE, ce::OPEN_ALWAYS, id);
    std::string bytes;
    if (!file || !ReadAllBytes(file, bytes))
        return false;
    if (m_base != FileId{} && id == m_base) {
        Merge(bytes, true);
        return true;
    }
    // A replaced file: the offsets of this list must be made to match a file again.
    return SaveLocked(file, id, false);
}

bool CSmsStore::SaveStore() {
    FileId id;
    ce::File file =
        LockFile(ce::GENERIC_READ | ce::GENERIC_WRITE, ce::FILE_SHARE_NONE, ce::OPEN_ALWAYS, id);
    if (!file) {
        m_ui.MessageBox(kSaveFailed);
        return false;
    }
    return SaveLocked(file, id, true);
}

bool CSmsStore::SaveLocked(ce::File& locked, const FileId& id, bool bDropPurged) {
    std::string current;
    if (!ReadAllBytes(locked, current)) {
        m_ui.MessageBox(kSaveFailed);
        return false;
    }
    Merge(current, m_base != FileId{} && id == m_base);

    // Lay the new file out first; offsets change only once it is safely on disk, so the
    // ones the list holds always match the file that is there.
    MemWriter bytes;
    std::vector<int32_t> offsets(m_list.size(), -1);
    for (size_t i = 0; i < m_list.size(); ++i) {
        // A rewrite never carries purged messages; only their list entries may stay (a
        // caller may still hold one while it writes a single record).
        if (m_list[i]->m_nState == SMS_PURGED)
            continue;
        uint64_t pos = bytes.Bytes().size();
        if (pos > kMaxOffset || !WriteSmsRecord(bytes, *m_list[i])) {
            m_ui.MessageBox(kSaveFailed);
            return false;
        }
        offsets[i] = static_cast<int32_t>(pos);
    }
    ce::File tmp = ce::File::Create(TempPath());
    if (!tmp) {
        m_ui.MessageBox(kSaveFailed);
        return false;
    }
    bool ok = tmp.Write(bytes.Bytes()) && tmp.Flush();
    tmp.Close();
    // "kvo.tmp" stays. The replacement is locked before it takes the name, so no other
    // program can write to it before this list knows its identity; a crash leaves the old
    // file or the new, never half of one.
    std::u16string fresh = StorePath() + u".new";
    ce::File out;
    struct stat st {};
    if (ok) {
        out = ce::File::Open(fresh, ce::GENERIC_READ | ce::GENERIC_WRITE, ce::FILE_SHARE_NONE,
                             ce::CREATE_ALWAYS);
        ok = out && out.Write(bytes.Bytes()) && out.Flush() && fstat(out.Fd(), &st) == 0 &&
             ce::MoveFile(fresh, StorePath());
    }
    if (!ok) {
        out.Close();
        ce::DeleteFile(fresh);
        m_ui.MessageBox(kSaveFailed);
        return false;
    }
    for (size_t i = 0; i < m_list.size(); ++i) m_list[i]->m_nFilePos = offsets[i];
    if (bDropPurged)
        std::erase_if(m_list, [](const auto& m) { return m->m_nState == SMS_PURGED; });
    Remember(m_list);
    m_base = {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
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
