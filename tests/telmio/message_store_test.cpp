#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <map>
#include <random>
#include <thread>

#include "common/binio.h"
#include "platform/device.h"
#include "platform/file.h"
#include "platform/sys.h"
#include "telmio/sms/message_store.h"
#include "telmio/sms/sms_folders.h"
#include "tests/support/temp_device.h"

using namespace kvo;

namespace {

std::unique_ptr<CSmsMessage> Msg(int state, std::u16string number, std::u16string text) {
    auto m = std::make_unique<CSmsMessage>();
    m->m_nState = state;
    m->m_strNumber = std::move(number);
    m->m_strText = std::move(text);
    m->m_time = ce::OleDate::FromParts(2004, 3, 7, 14, 5, 9);
    return m;
}

class StoreTest : public kvo::test::DeviceTest {
protected:
    std::string FileBytes() {
        std::string b;
        ce::ReadFileBytes(u"\\kvo.sms", b);
        return b;
    }
    void WriteFile(std::string_view bytes) {
        kvo::test::WriteHostFile(m_device.Root() / "fs" / "kvo.sms", bytes);
    }
    // A store of n messages, saved.
    void Fill(CSmsStore& store, int n) {
        for (int i = 0; i < n; ++i) {
            store.Messages().push_back(Msg(i % 11, u"+49170" + std::u16string(1, u'0' + i % 10),
                                           u"text " + std::u16string(i % 40, u'x')));
        }
        ASSERT_TRUE(store.SaveStore());
    }
    CRecordingUi m_ui;
};

TEST_F(StoreTest, MissingStoreIsCreatedAndLoadsEmpty) {
    CSmsStore store(m_ui);
    EXPECT_TRUE(store.LoadStore());
    EXPECT_TRUE(store.Messages().empty());
    EXPECT_TRUE(ce::FileExists(u"\\kvo.sms"));
    EXPECT_TRUE(m_ui.Messages().empty());
}

TEST_F(StoreTest, RecordLayoutAndFieldsSurviveAReload) {
    CSmsStore store(m_ui);
    auto m = Msg(SMS_USER_FOLDER, u"", u"ab");
    m->m_bMarked = true;
    m->m_bFlash = true;
    m->m_nStorage = STORAGE_SM;
    m->m_nIndex = 17;
    m->m_nFolder = 1999;
    CSmsMessage& added = store.AddMessage(std::move(m));
    EXPECT_EQ(added.m_nFilePos, 0);
    std::string bytes = FileBytes();
    // An empty number takes its count and the terminating zero: 4 + 2 bytes.
    ASSERT_EQ(bytes.size(), 4u + 6 + 10 + 12 + 16);
    EXPECT_EQ(bytes.size(), added.RecordSize());
    EXPECT_EQ(bytes.substr(0, 10), std::string("\x14\0\0\0\0\0\0\0\0\0", 10));
    EXPECT_EQ(bytes.substr(10, 10), std::string("\x02\0\0\0a\0b\0\0\0", 10));
    EXPECT_EQ(bytes.substr(32, 16), std::string("\x03\0\0\0\x02\0\0\0\xCF\x07\0\0\x11\0\0\0", 16));

    CSmsStore reloaded(m_ui);
    ASSERT_TRUE(reloaded.LoadStore());
    ASSERT_EQ(reloaded.Messages().size(), 1u);
    const CSmsMessage& r = *reloaded.Messages()[0];
    EXPECT_EQ(r.m_nState, SMS_USER_FOLDER);
    EXPECT_TRUE(r.m_strNumber.empty());
    EXPECT_EQ(r.m_strText, u"ab");
    EXPECT_TRUE(r.m_bMarked && r.m_bFlash);
    EXPECT_EQ(r.m_nStorage, STORAGE_SM);
    EXPECT_EQ(r.m_nIndex, 17);
    EXPECT_EQ(r.m_nFolder, 1999);
    EXPECT_DOUBLE_EQ(r.m_time.m_dt, added.m_time.m_dt);
    EXPECT_EQ(r.m_nFilePos, 0);
}

TEST_F(StoreTest, StateChangesRewriteInPlaceEditsAppendAndMarkTheOldRecordDeleted) {
    CSmsStore store(m_ui);
    CSmsMessage& a = store.AddMessage(Msg(SMS_UNREAD, u"+491", u"first"));
    CSmsMessage& b = store.AddMessage(Msg(SMS_DRAFT, u"+492", u"second"));
    int32_t bPos = b.m_nFilePos;
    EXPECT_EQ(bPos, static_cast<int32_t>(a.RecordSize()));
    uint64_t size = FileBytes().size();

    a.m_nState = SMS_READ;
    ASSERT_TRUE(store.MoveMessage(b, 12));  // user folder 12
    ASSERT_TRUE(store.WriteMessage(a));
    EXPECT_EQ(a.m_nFilePos, 0);
    EXPECT_EQ(b.m_nFilePos, bPos);
    EXPECT_EQ(FileBytes().size(), size);

    a.m_strText = u"first, edited";
    ASSERT_TRUE(store.WriteMessage(a));
    EXPECT_EQ(a.m_nFilePos, static_cast<int32_t>(size));

    CSmsStore reloaded(m_ui);
    ASSERT_TRUE(reloaded.LoadStore());
    auto& list = reloaded.Messages();
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0]->m_nState, SMS_DELETED);
    EXPECT_EQ(list[0]->m_strText, u"first");
    EXPECT_EQ(list[1]->m_nState, SMS_USER_FOLDER);
    EXPECT_EQ(list[1]->m_nFolder, 12);
    EXPECT_EQ(list[2]->m_nState, SMS_READ);
    EXPECT_EQ(list[2]->m_strText, u"first, edited");
    EXPECT_TRUE(m_ui.Messages().empty());
}

TEST_F(StoreTest, SaveStoreDropsPurgedKeepsPendingDeletionsAndPacksOffsets) {
    CSmsStore store(m_ui);
    for (int state : {SMS_READ, SMS_PURGED, SMS_DELETE_ON_PHONE, SMS_PURGED, SMS_SENT})
        store.AddMessage(Msg(state, u"+4917012", u"state " + std::u16string(state, u'.')));
    ASSERT_TRUE(store.SaveStore());
    auto& list = store.Messages();
    ASSERT_EQ(list.size(), 3u);
    int64_t expected = 0;
    for (auto& m : list) {
        EXPECT_NE(m->m_nState, SMS_PURGED);
        EXPECT_EQ(m->m_nFilePos, expected);
        expected += static_cast<int64_t>(m->RecordSize());
    }
    EXPECT_EQ(static_cast<int64_t>(FileBytes().size()), expected);
    std::string tmp;
    ASSERT_TRUE(ce::ReadFileBytes(u"\\kvo.tmp", tmp));
    EXPECT_EQ(tmp, FileBytes());

    CSmsStore reloaded(m_ui);
    ASSERT_TRUE(reloaded.LoadStore());
    ASSERT_EQ(reloaded.Messages().size(), 3u);
    EXPECT_EQ(reloaded.Messages()[1]->m_nState, SMS_DELETE_ON_PHONE);
}

TEST_F(StoreTest, DeleteTogglesMoveCodesAndPurge) {
    CSmsStore store(m_ui);
    CSmsMessage& m = store.AddMessage(Msg(SMS_READ, u"1", u"x"));
    store.AddMessage(Msg(SMS_DELETED, u"2", u"y"));
    ASSERT_TRUE(store.DeleteMessage(m));
    EXPECT_EQ(m.m_nState, SMS_DELETED);
    const std::pair<int, int> moves[] = {
        {MOVE_OUTBOX, SMS_OUTBOX}, {MOVE_INBOX, SMS_READ},         {MOVE_DRAFT, SMS_DRAFT},
        {MOVE_SENT, SMS_SENT},     {MOVE_TEMPLATES, SMS_TEMPLATE}, {MOVE_RECYCLE_BIN, SMS_DELETED}};
    for (auto [code, state] : moves) {
        ASSERT_TRUE(store.MoveMessage(m, code));
        EXPECT_EQ(m.m_nState, state);
        EXPECT_EQ(m.m_nFolder, 0);
    }
    EXPECT_FALSE(store.MoveMessage(m, 2006));
    EXPECT_FALSE(store.MoveMessage(m, -1));
    EXPECT_EQ(FolderOfState(SMS_DELETE_ON_PHONE), FOLDER_NONE);
    EXPECT_EQ(FolderOfState(SMS_OUTBOX_FLASH), FOLDER_OUTBOX);
    EXPECT_EQ(FolderOfState(SMS_SENT_ON_PHONE), FOLDER_SENT);

    m_ui.SetAnswer(false);
    EXPECT_FALSE(store.Purge());
    EXPECT_EQ(store.Messages().size(), 2u);
    m_ui.SetAnswer(true);
    EXPECT_TRUE(store.Purge());
    EXPECT_TRUE(store.Messages().empty());
    EXPECT_EQ(m_ui.Questions().back(), u"Purge all deleted messages from the Pocket PC?");
    EXPECT_TRUE(FileBytes().empty());
}

TEST_F(StoreTest, DeletingAFolderSendsItsMessagesToTheRecycleBin) {
    CSmsStore store(m_ui);
    CSmsMessage& a = store.AddMessage(Msg(SMS_READ, u"1", u"x"));
    CSmsMessage& b = store.AddMessage(Msg(SMS_READ, u"1", u"y"));
    store.MoveMessage(a, 5);
    store.MoveMessage(b, 6);
    ASSERT_TRUE(store.DeleteFolderMessages(5));
    EXPECT_EQ(a.m_nState, SMS_DELETED);
    EXPECT_EQ(b.m_nState, SMS_USER_FOLDER);
}

TEST_F(StoreTest, LoaderStopsAtADamagedRecordAndKeepsWhatCameBefore) {
    CSmsStore store(m_ui);
    Fill(store, 3);
    std::string good = FileBytes();
    uint64_t third = static_cast<uint64_t>(store.Messages()[2]->m_nFilePos);

    // A text length no reader can hold.
    std::string bad = good;
    uint64_t textLen = third + 4 + store.Messages()[2]->m_strNumber.size() * 2 + 6;
    bad.replace(textLen, 4, std::string("\xFF\xFF\xFF\x7F", 4));
    WriteFile(bad);
    CSmsStore a(m_ui);
    EXPECT_FALSE(a.LoadStore());
    EXPECT_EQ(a.Messages().size(), 2u);
    std::string kept;
    ASSERT_TRUE(ce::ReadFileBytes(u"\\kvo.bad", kept));
    EXPECT_EQ(kept, bad);
    // The damaged tail is cut, so what is appended now loads again.
    a.AddMessage(Msg(SMS_DRAFT, u"9", u"after the damage"));
    CSmsStore again(m_ui);
    EXPECT_TRUE(again.LoadStore());
    ASSERT_EQ(again.Messages().size(), 3u);
    EXPECT_EQ(again.Messages()[2]->m_strText, u"after the damage");

    // A record cut short at every length.
    for (size_t cut = third + 1; cut < good.size(); ++cut) {
        WriteFile(good.substr(0, cut));
        CSmsStore s(m_ui);
        EXPECT_FALSE(s.LoadStore()) << cut;
        EXPECT_EQ(s.Messages().size(), 2u) << cut;
    }
}

// Writes fail with ENOSPC once `budget` bytes have gone out; each call writes at most 7.
std::atomic<long> g_budget;
ssize_t ShortThenFull(int fd, const void* buf, size_t n) {
    long left = g_budget.load();
    if (left <= 0) {
        errno = ENOSPC;
        return -1;
    }
    size_t chunk = std::min<size_t>({n, 7, static_cast<size_t>(left)});
    g_budget -= static_cast<long>(chunk);
    return ce::RealSys().write(fd, buf, chunk);
}

TEST_F(StoreTest, AFailedWriteReportsAndLeavesFileAndListAsTheyWere) {
    CSmsStore store(m_ui);
    Fill(store, 50);
    store.Messages()[3]->m_nState = SMS_PURGED;
    std::string before = FileBytes();
    std::vector<int32_t> offsets;
    for (auto& m : store.Messages()) offsets.push_back(m->m_nFilePos);

    ce::SysCalls calls = ce::RealSys();
    calls.write = ShortThenFull;
    {
        ce::ScopedSysOverride failing(calls);
        // Nothing written, "kvo.tmp" cut short, "kvo.tmp" whole but the new "kvo.sms" cut short.
        long newSize = static_cast<long>(before.size() - store.Messages()[3]->RecordSize());
        for (long budget : {0L, 1000L, newSize + 100}) {
            g_budget = budget;
            EXPECT_FALSE(store.SaveStore());
            EXPECT_EQ(m_ui.Messages().back(), u"Save failed.");
        }
        EXPECT_EQ(static_cast<long>(std::filesystem::file_size(m_device.Root() / "fs" / "kvo.tmp")),
                  newSize);
        g_budget = 20;
        CSmsMessage& added = store.AddMessage(Msg(SMS_DRAFT, u"1", u"does not fit"));
        EXPECT_EQ(added.m_nFilePos, -1);
    }
    EXPECT_EQ(m_ui.Messages().size(), 4u);
    EXPECT_EQ(FileBytes(), before);
    size_t files = 0;
    for (auto& e : std::filesystem::directory_iterator(m_device.Root() / "fs"))
        files += e.is_regular_file();
    EXPECT_EQ(files, 2u);  // no half-written replacement left behind
    store.Messages().pop_back();
    ASSERT_EQ(store.Messages().size(), 50u);
    for (size_t i = 0; i < offsets.size(); ++i)
        EXPECT_EQ(store.Messages()[i]->m_nFilePos, offsets[i]);

    // Short writes alone are no failure.
    ce::ScopedSysOverride shortOnly(calls);
    g_budget = 1L << 30;
    EXPECT_TRUE(store.SaveStore());
    EXPECT_EQ(store.Messages().size(), 49u);
}

TEST_F(StoreTest, TextsTheLoaderWouldRefuseAreNotWritten) {
    CSmsStore store(m_ui);
    CSmsMessage& m =
        store.AddMessage(Msg(SMS_DRAFT, u"1", std::u16string(kMaxStoreStringUnits + 1, u'a')));
    EXPECT_EQ(m.m_nFilePos, -1);
    EXPECT_EQ(m_ui.Messages(), std::vector<std::u16string>{u"Save failed."});
    EXPECT_FALSE(store.SaveStore());
    EXPECT_TRUE(FileBytes().empty());
}

TEST_F(StoreTest, KilledDuringSaveTheStoreAlwaysLoadsWhole) {
    constexpr int kMessages = 20000;
    CSmsStore store(m_ui);
    Fill(store, kMessages);
    std::string whole = FileBytes();
    std::mt19937 rng(42);
    for (int round = 0; round < 25; ++round) {
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            CSilentUi silent;
            CSmsStore saver(silent);
            if (!saver.LoadStore())
                _exit(2);
            for (;;) saver.SaveStore();
        }
        usleep(1000 + rng() % 60000);
        kill(child, SIGKILL);
        int status;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "saver ended by itself: " << status;
        ASSERT_EQ(FileBytes(), whole) << "round " << round;
        CSmsStore check(m_ui);
        ASSERT_TRUE(check.LoadStore());
        ASSERT_EQ(check.Messages().size(), static_cast<size_t>(kMessages));
    }
}

// Two programs on one store, each with its own list: every change of either survives the
// other's whole rewrite, and nothing appears twice.
TEST_F(StoreTest, WholeRewritesTakeInWhatOtherProgramsWrote) {
    CSmsStore a(m_ui), b(m_ui);
    Fill(a, 4);
    ASSERT_TRUE(a.LoadStore());
    ASSERT_TRUE(b.LoadStore());
    b.Messages()[0]->m_nState = SMS_DELETED;  // changed in place by b only
    ASSERT_TRUE(b.WriteMessage(*b.Messages()[0]));
    b.AddMessage(Msg(SMS_OUTBOX, u"1", u"queued by b"));
    a.Messages()[1]->m_nState = SMS_SENT;  // changed by a only
    ASSERT_TRUE(a.WriteMessage(*a.Messages()[1]));
    a.Messages()[2]->m_nState = SMS_PURGED;
    a.AddMessage(Msg(SMS_READ, u"2", u"read by a"));
    ASSERT_TRUE(a.SaveStore());

    auto states = [&] {
        CSmsStore check(m_ui);
        EXPECT_TRUE(check.LoadStore());
        std::map<std::u16string, std::vector<int>> out;
        for (auto& m : check.Messages()) out[m->m_strText].push_back(m->m_nState);
        return out;
    };
    auto after = states();
    EXPECT_EQ(after[u"text "], std::vector<int>{SMS_DELETED});
    EXPECT_EQ(after[u"text x"], std::vector<int>{SMS_SENT});
    EXPECT_EQ(after.count(u"text xx"), 0u);
    EXPECT_EQ(after[u"queued by b"], std::vector<int>{SMS_OUTBOX});
    EXPECT_EQ(after[u"read by a"], std::vector<int>{SMS_READ});
    EXPECT_EQ(a.Messages().size(), 5u);  // a's list took in b's message

    // b's offsets belong to the replaced file: its next change merges instead of writing
    // into some other record's place.
    CSmsMessage& queued = *b.Messages().back();
    queued.m_nState = SMS_SENT;
    ASSERT_TRUE(b.WriteMessage(queued));
    after = states();
    EXPECT_EQ(after[u"queued by b"], std::vector<int>{SMS_SENT});
    EXPECT_EQ(after[u"read by a"], std::vector<int>{SMS_READ});
    EXPECT_EQ(after[u"text x"], std::vector<int>{SMS_SENT});
    size_t total = 0;
    for (auto& [text, list] : after) total += list.size();
    EXPECT_EQ(total, 5u);
}

TEST_F(StoreTest, AnotherProgramsChangeInPlaceWinsOverAnUnchangedMessage) {
    CSmsStore writer(m_ui);
    writer.AddMessage(Msg(SMS_UNREAD, u"1", u"hello"));
    writer.AddMessage(Msg(SMS_UNREAD, u"2", u"world"));
    // A record with a flag bit this store does not use still counts as unchanged.
    std::string bytes = FileBytes();
    size_t flags = 4 + 4 + 4 + 4 + 12 + 12;
    bytes[flags] = '\x04';
    WriteFile(bytes);
    CSmsStore mine(m_ui);
    ASSERT_TRUE(mine.LoadStore());
    // The other program edits the first record in place (same lengths), and marks the
    // second read.
    std::string changed = bytes;
    changed.replace(4 + 4 + 4 + 4, 10, std::string("H\0E\0L\0L\0O\0", 10));
    changed[bytes.size() / 2] = SMS_READ;
    WriteFile(changed);  // same file, rewritten in place
    ASSERT_TRUE(mine.SaveStore());
    CSmsStore check(m_ui);
    ASSERT_TRUE(check.LoadStore());
    ASSERT_EQ(check.Messages().size(), 2u);
    EXPECT_EQ(check.Messages()[0]->m_strText, u"HELLO");
    EXPECT_EQ(check.Messages()[1]->m_nState, SMS_READ);
}

TEST_F(StoreTest, ALockClashIsWaitedOutAndNeverEmptiesTheStore) {
    CSmsStore store(m_ui);
    Fill(store, 3);
    std::string before = FileBytes();
    {
        // Another program holds the store for longer than anyone waits.
        ce::File held = ce::File::Open(u"\\kvo.sms", ce::GENERIC_READ | ce::GENERIC_WRITE,
                                       ce::FILE_SHARE_NONE, ce::OPEN_EXISTING);
        ASSERT_TRUE(held);
        CSmsStore reader(m_ui);
        reader.SetLockWait(300);
        EXPECT_FALSE(reader.LoadStore());
        EXPECT_FALSE(reader.Loaded());
        EXPECT_EQ(m_ui.Messages().back(), u"Error reading datafile.");
        EXPECT_EQ(reader.AddMessage(Msg(SMS_OUTBOX, u"1", u"x")).m_nFilePos, -1);
        EXPECT_EQ(m_ui.Messages().back(), u"Save failed.");
    }
    EXPECT_EQ(FileBytes(), before);

    // A short clash is a wait.
    std::thread holder;
    {
        auto held = std::make_shared<ce::File>(ce::File::Open(
            u"\\kvo.sms", ce::GENERIC_READ | ce::GENERIC_WRITE, ce::FILE_SHARE_NONE,
            ce::OPEN_EXISTING));
        ASSERT_TRUE(*held);
        holder = std::thread([held] {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            held->Close();
        });
    }
    CSmsStore reader(m_ui);
    EXPECT_TRUE(reader.LoadStore());
    EXPECT_EQ(reader.Messages().size(), 3u);
    holder.join();
}

}  // namespace
