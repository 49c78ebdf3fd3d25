// Files go in place all together or not at all.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "platform/device.h"
#include "platform/file.h"
#include "platform/text.h"
#include "tests/support/temp_device.h"
#include "updater/core/file_placement.h"

namespace {

using kvo::updater::CPlacement;
using kvo::updater::PlaceFiles;

class PlacementTest : public kvo::test::DeviceTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(ce::CreateDirectories(u"\\windows\\temp"));
        ASSERT_TRUE(ce::CreateDirectories(u"\\p\\busy"));
        for (auto [path, bytes] : std::initializer_list<std::pair<const char16_t*, const char*>>{
                 {u"\\p\\a.exe", "old a"},
                 {u"\\p\\b.dat", "old b"},
                 {u"\\p\\busy\\x", "x"},
                 {u"\\windows\\temp\\a.exe", "new a"},
                 {u"\\windows\\temp\\b.dat", "new b"},
                 {u"\\windows\\temp\\busy", "new busy"}})
            ASSERT_TRUE(ce::WriteFileAtomic(path, bytes));
    }
    std::string Read(std::u16string_view path) {
        std::string bytes;
        return ce::ReadFileBytes(path, bytes) ? bytes : "<missing>";
    }
    void ExpectOldSet() {
        EXPECT_EQ(Read(u"\\p\\a.exe"), "old a");
        EXPECT_EQ(Read(u"\\p\\b.dat"), "old b");
        EXPECT_FALSE(ce::FileExists(u"\\p\\new\\c"));
        for (const auto& f : ce::FindFiles(u"\\p\\*"))
            EXPECT_TRUE(f.name == u"a.exe" || f.name == u"b.dat" || f.name == u"busy")
                << ce::ToUtf8(f.name) << " is left over";
    }
};

TEST_F(PlacementTest, AllNewFilesOrTheOldSet) {
    std::string error;
    // The third cannot take its place (a folder holds the name): the first two go back.
    EXPECT_FALSE(PlaceFiles({{u"\\windows\\temp\\a.exe", u"\\p\\a.exe"},
                             {u"\\windows\\temp\\b.dat", u"\\p\\b.dat"},
                             {u"\\windows\\temp\\busy", u"\\p\\busy"}},
                            error));
    EXPECT_FALSE(error.empty());
    ExpectOldSet();
    // A source that is missing stops it before anything moved.
    EXPECT_FALSE(PlaceFiles({{u"\\windows\\temp\\a.exe", u"\\p\\a.exe"},
                             {u"\\windows\\temp\\b.dat", u"\\p\\new\\deep\\c"},
                             {u"\\windows\\temp\\gone", u"\\p\\new\\c"}},
                            error));
    ExpectOldSet();

    ASSERT_TRUE(PlaceFiles({{u"\\windows\\temp\\b.dat", u"\\p\\A.exe"},
                            {u"\\windows\\temp\\a.exe", u"\\p\\a.exe"},
                            {u"\\windows\\temp\\b.dat", u"\\p\\new\\c"}},
                           error))
        << error;
    EXPECT_EQ(Read(u"\\p\\a.exe"), "new a");
    EXPECT_EQ(Read(u"\\p\\new\\c"), "new b");
    EXPECT_FALSE(ce::FileExists(u"\\p\\a.exe~old"));
    // A program stays startable.
    struct stat st {};
    ASSERT_EQ(stat(ce::MapPath(u"\\p\\a.exe").c_str(), &st), 0);
    EXPECT_TRUE(st.st_mode & S_IXUSR);
}

}  // namespace
