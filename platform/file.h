// Handheld files: open modes, sharing, read/write/seek, and the folder helpers.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ce {

enum : uint32_t { GENERIC_READ = 0x80000000u, GENERIC_WRITE = 0x40000000u };
enum : uint32_t { FILE_SHARE_NONE = 0, FILE_SHARE_READ = 1, FILE_SHARE_WRITE = 2 };
enum Disposition : uint32_t {
    CREATE_NEW = 1,         // fails when it exists
    CREATE_ALWAYS = 2,      // creates or truncates
    OPEN_EXISTING = 3,      // fails when missing
    OPEN_ALWAYS = 4,        // opens or creates
    TRUNCATE_EXISTING = 5,  // fails when missing, truncates
};
enum SeekOrigin : int { FILE_BEGIN = 0, FILE_CURRENT = 1, FILE_END = 2 };

// An open file. Share mode FILE_SHARE_NONE holds an exclusive advisory lock for as long as
// the file is open (a second open with any mode fails with ERROR_SHARING_VIOLATION, in this
// process as in others); other share modes hold a shared lock, so they keep an exclusive
// open out. Locks go with the handle or the process.
class File {
public:
    File() = default;
    ~File();
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    static File Open(std::u16string_view path, uint32_t access, uint32_t share,
                     Disposition disposition);
    // As Open, but a sharing violation is retried for up to waitMs before it is reported:
    // for files that several programs update in short steps, where a clash is a wait,
    // never a reason to take another road (such as creating the file afresh).
    static File OpenWait(std::u16string_view path, uint32_t access, uint32_t share,
                         Disposition disposition, uint32_t waitMs);
    // Shorthands: read existing; create or truncate for writing; open or create for append.
    static File OpenRead(std::u16string_view path);
    static File Create(std::u16string_view path);
    static File OpenAppend(std::u16string_view path);

    bool IsOpen() const { return m_fd >= 0; }
    explicit operator bool() const { return IsOpen(); }
    // Reads up to n bytes; *got is 0 at the end of the file.
    bool Read(void* buf, size_t n, size_t* got);
    // Reads exactly n bytes; false (ERROR_HANDLE_EOF) on a short read.
    bool ReadExact(void* buf, size_t n);
    bool Write(const void* buf, size_t n);
    bool Write(std::string_view bytes) { return Write(bytes.data(), bytes.size()); }
    // New position, or -1.
    int64_t Seek(int64_t offset, SeekOrigin origin);
    int64_t Tell();
    int64_t Size();
    bool SetEndOfFile();
    bool Flush();  // fsync
    void Close();
    int Fd() const { return m_fd; }

private:
    explicit File(int fd) : m_fd(fd) {}
    int m_fd = -1;
};

bool FileExists(std::u16string_view path);
bool DirectoryExists(std::u16string_view path);
bool DeleteFile(std::u16string_view path);
bool CopyFile(std::u16string_view from, std::u16string_view to, bool failIfExists);
// Replaces `to` atomically when it exists.
bool MoveFile(std::u16string_view from, std::u16string_view to);
bool CreateDirectory(std::u16string_view path);  // one level; ERROR_ALREADY_EXISTS when there
bool CreateDirectories(std::u16string_view path);
bool RemoveDirectory(std::u16string_view path);  // empty folders only

// Whole-file helpers.
bool ReadFileBytes(std::u16string_view path, std::string& out);
// Writes through a temporary file, fsync and rename: the old content or the new, never half.
bool WriteFileAtomic(std::u16string_view path, std::string_view bytes);

struct FindData {
    std::u16string name;  // as stored, case preserved
    bool isDirectory = false;
    uint64_t size = 0;
};
// Entries of a folder whose names match a pattern of '*' and '?' (case-insensitive), as
// "\My Documents\groups\*.grp". Sorted by name so the order is stable.
std::vector<FindData> FindFiles(std::u16string_view pattern);
bool MatchPattern(std::u16string_view pattern, std::u16string_view name);

}  // namespace ce
