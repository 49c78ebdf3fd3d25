// The message list and its file "kvo.sms": loading, single-record writes (append or in
// place), whole rewrites through "kvo.tmp", deleting, purging and moving between folders.
#pragma once
#include <memory>
#include <string>
#include <string_view>
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

    // Replaces the list with the file's records. A missing file is created. A record that
    // does not fit or is cut short ends loading: the messages before it stay, the damaged
    // tail is kept in "kvo.bad" and cut off so later appends load again. False when the file
    // could not be opened or was damaged.
    bool LoadStore();
    // Writes one record: in place when number and text are unchanged, else appended (an
    // edited message's old record turns state 9). "Save failed." and false on failure, the
    // file then as it was.
    bool WriteMessage(CSmsMessage& msg);
    // Rewrites the whole file, dropping state 11. The new file replaces the old one
    // atomically; on failure the list and the file stay as they were.
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
    bool ReadBack(CSmsMessage& msg, ce::File& file, std::u16string& number, std::u16string& text);
    void CutDamagedTail(uint64_t goodEnd);

    IUserInterface& m_ui;
    std::u16string m_strDir;
    List m_list;
};

}  // namespace kvo
