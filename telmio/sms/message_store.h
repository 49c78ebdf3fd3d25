// The message list and its file "kvo.sms": loading, single-record writes (append or in
// place), whole rewrites through "kvo.tmp", deleting, purging and moving between folders.
#pragma once
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "common/user_interface.h"
#include "platform/file.h"
#include "telmio/sms/sms_message.h"

namespace kvo {

class CSmsStore {
public:
    using List = std::vector<std::unique_ptr<CSmsMessage>>;

    // `dir` is the folder of the files with its trailing backslash; empty means the
    // installation directory.
    explicit CSmsStore(IUserInterface& ui, std::u16string dir = {});

    List& Messages() { return m_list; }
    const List& Messages() const { return m_list; }
    std::u16string StorePath() const { return m_strDir + u"kvo.sms"; }
    std::u16string TempPath() const { return m_strDir + u"kvo.tmp"; }

    // Several programs share the file: every open takes its lock, waiting up to this long
    // for another program's short step to end. A clash that lasts longer is a failure that
    // leaves the file alone.
    static constexpr uint32_t kLockWaitMs = 5000;
    void SetLockWait(uint32_t ms) { m_nLockWaitMs = ms; }

    // Replaces the list with the file's records. A missing file is created (never an
    // existing one: a lock clash is waited out or fails). A record that does not fit or is
    // cut short ends loading: the messages before it stay, the damaged tail is kept in
    // "kvo.bad" and cut off so later appends load again. False when the file could not be
    // read or was damaged; Loaded() tells the two apart.
    bool LoadStore();
    // True once the file was read (a damaged tail cut off included): only then may the list
    // be written back as a whole.
    bool Loaded() const { return m_bLoaded; }
    // Writes one record, durably: in place when number and text are unchanged, else appended
    // (an edited message's old record turns state 9). When another program rewrote the
    // file since it was read, the whole store is merged and rewritten instead. "Save failed."
    // and false on failure, the file then as it was.
    bool WriteMessage(CSmsMessage& msg);
    // Takes in what other programs appended or changed since the list was read (a message
    // queued or deleted from the command line), so that a session works on the messages as
    // they are now. False when the file could not be read.
    bool Refresh();
    // Rewrites the whole file, dropping state 11. Under the file's lock it first takes in
    // what other programs appended or changed since this list was read (see Merge), then the
    // new file replaces the old one atomically; on failure the file stays as it was.
    bool SaveStore();

    // Appends to the list and writes its record; the list owns it either way.
    CSmsMessage& AddMessage(std::unique_ptr<CSmsMessage> msg);
    // A message in the Recycle Bin is purged (11), any other goes there (9).
    bool DeleteMessage(CSmsMessage& msg);
    // Move codes of sms_folders.h; false for an unknown code.
    bool MoveMessage(CSmsMessage& msg, int code);
    // Asks "Purge all deleted messages from the Pocket PC?"; on yes state 9 becomes 11 and the
    // store is rewritten. False when declined or the rewrite failed.
    bool Purge();
    // The messages of a user folder go to the Recycle Bin (the folder itself is being deleted).
    bool DeleteFolderMessages(int folderId);

    // The records of a store file's bytes, appended to `list`. Returns the end of the last
    // whole record: bytes.size() when every record was read.
    static uint64_t ParseStore(std::string_view bytes, List& list);

private:
    // Identity of a file on disk: a rewrite replaces the file, so offsets read from one
    // file mean nothing in its successor.
    struct FileId {
        uint64_t dev = 0, ino = 0;
        bool operator==(const FileId&) const = default;
    };
    // Opens "kvo.sms" with its lock, waiting out a clash; retries when the file was replaced
    // while it waited, so the lock is always on the file the name leads to.
    ce::File LockFile(uint32_t access, uint32_t share, ce::Disposition disposition, FileId& id);
    bool ReadAllBytes(ce::File& file, std::string& bytes);
    // Takes in the records of `bytes` (the locked file) that this list does not know.
    void Merge(std::string_view bytes, bool bSameFile);
    // bDropPurged false: purged messages leave the file but stay in the list.
    bool SaveLocked(ce::File& locked, const FileId& id, bool bDropPurged);
    void Remember(const List& parsed);
    void CutDamagedTail(uint64_t goodEnd);

    IUserInterface& m_ui;
    std::u16string m_strDir;
    List m_list;
    bool m_bLoaded = false;
    uint32_t m_nLockWaitMs = kLockWaitMs;
    // The file this list was read from or last written to, and each record there as this
    // list last saw it: a record that differs was changed by another program.
    FileId m_base;
    std::unordered_map<int32_t, std::string> m_known;
};

}  // namespace kvo
