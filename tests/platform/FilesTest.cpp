#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <platform.h>
#include <win32.h>

#include <cerrno>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "support/TestUtil.h"

using testutil::ScopedCwd;
using testutil::TempDir;
using testutil::WriteFile;

namespace {

TEST(Files, WindowsPathsFindFilesInAnyCase) {
    TempDir dir;
    mkdir(dir.file("Data").c_str(), 0755);
    mkdir(dir.file("Data/Textures").c_str(), 0755);
    WriteFile(dir.file("Data/Textures/Block.PNG"), "x");
    std::string winPath = dir.path() + "\\data\\textures\\block.png";
    EXPECT_EQ(platform::HostPath(winPath.c_str()), dir.file("Data/Textures/Block.PNG"));
    // Missing tails keep their spelling so that new files can be created there.
    std::string newPath = dir.path() + "\\DATA\\new\\File.txt";
    EXPECT_EQ(platform::HostPath(newPath.c_str()), dir.file("Data/new/File.txt"));
    EXPECT_EQ(platform::HostPath("C:\\tmp"), "/tmp");

    HANDLE h = CreateFileA(winPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    char c = 0;
    DWORD read = 0;
    EXPECT_TRUE(ReadFile(h, &c, 1, &read, nullptr));
    EXPECT_EQ(read, 1u);
    EXPECT_EQ(c, 'x');
    EXPECT_EQ(GetFileSize(h, nullptr), 1u);
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_FALSE(CloseHandle(h == INVALID_HANDLE_VALUE ? nullptr : INVALID_HANDLE_VALUE));

    std::string missing = dir.path() + "\\nothing.bin";
    EXPECT_EQ(CreateFileA(missing.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    // A folder is not a file.
    EXPECT_EQ(CreateFileA(dir.path().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
}

TEST(Files, CurrentDirectoryAndFullPath) {
    TempDir dir;
    ScopedCwd cwd(dir.path());
    char buf[MAX_PATH];
    DWORD n = GetCurrentDirectoryA(sizeof buf, buf);
    EXPECT_EQ(std::string(buf, n), dir.path());
    EXPECT_GT(GetCurrentDirectoryA(2, buf), 2u) << "a short buffer reports the size needed";

    char* part = nullptr;
    n = GetFullPathNameA("mesh.x", sizeof buf, buf, &part);
    EXPECT_EQ(std::string(buf, n), dir.path() + "\\mesh.x");
    ASSERT_NE(part, nullptr);
    EXPECT_STREQ(part, "mesh.x");
    EXPECT_GT(GetFullPathNameA("mesh.x", 4, buf, nullptr), 4u);

    mkdir("sub", 0755);
    EXPECT_TRUE(SetCurrentDirectoryA((dir.path() + "\\SUB").c_str()));
    EXPECT_FALSE(SetCurrentDirectoryA("does-not-exist"));
}

TEST(Files, CopyFindAndAttributes) {
    TempDir dir;
    WriteFile(dir.file("a.txt"), "hello");
    EXPECT_TRUE(CopyFileA(dir.file("a.txt").c_str(), dir.file("b.txt").c_str(), FALSE));
    EXPECT_EQ(testutil::ReadFile(dir.file("b.txt")), "hello");
    EXPECT_FALSE(CopyFileA(dir.file("a.txt").c_str(), dir.file("b.txt").c_str(), TRUE));
    EXPECT_FALSE(CopyFileA(dir.file("none.txt").c_str(), dir.file("c.txt").c_str(), FALSE));
    EXPECT_FALSE(testutil::FileExists(dir.file("c.txt")));

    mkdir(dir.file("folder").c_str(), 0755);
    WIN32_FIND_DATAA data;
    std::set<std::string> names;
    HANDLE f = FindFirstFileA((dir.path() + "\\*.TXT").c_str(), &data);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    do names.insert(data.cFileName);
    while (FindNextFileA(f, &data));
    FindClose(f);
    EXPECT_EQ(names, (std::set<std::string>{"a.txt", "b.txt"}));
    EXPECT_EQ(FindFirstFileA((dir.path() + "\\*.none").c_str(), &data), INVALID_HANDLE_VALUE);

    EXPECT_EQ(GetFileAttributesA(dir.file("folder").c_str()) & FILE_ATTRIBUTE_DIRECTORY,
              static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    chmod(dir.file("a.txt").c_str(), 0444);
    EXPECT_NE(GetFileAttributesA(dir.file("a.txt").c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    EXPECT_EQ(GetFileAttributesA(dir.file("zzz").c_str()), INVALID_FILE_ATTRIBUTES);
}

// The listing order decides which of two same-named themes wins, so it must
// not depend on the file system: case-insensitive, as NTFS lists.
TEST(Files, SearchListsInCaseInsensitiveOrder) {
    TempDir dir;
    for (const char* name : {"b", "_x", "C", "a2", "A", ".h"}) WriteFile(dir.file(name), "x");
    WIN32_FIND_DATAA data;
    std::vector<std::string> names;
    HANDLE f = FindFirstFileA((dir.path() + "\\*").c_str(), &data);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    do
        if (data.cFileName[0] != '.' || data.cFileName[1] == 'h') names.push_back(data.cFileName);
    while (FindNextFileA(f, &data));
    FindClose(f);
    EXPECT_EQ(names, (std::vector<std::string>{".h", "A", "a2", "b", "C", "_x"}));
}

// Handles are looked up, never read through: a closed one, one of another kind
// and a foreign one-byte block (the size of a process handle) are all refused.
TEST(Files, ClosedAndForeignHandlesAreRefused) {
    TempDir dir;
    WriteFile(dir.file("a.txt"), "x");
    const std::string path = dir.path() + "\\a.txt";
    HANDLE closed = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_TRUE(CloseHandle(closed));
    WIN32_FIND_DATAA data;
    HANDLE search = FindFirstFileA((dir.path() + "\\*").c_str(), &data);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    std::unique_ptr<char> foreign(new char('F'));
    const struct {
        const char* what;
        HANDLE handle;
    } cases[] = {{"closed file", closed}, {"search", search}, {"foreign", foreign.get()}};
    for (const auto& c : cases) {
        char byte = 0;
        DWORD read = 0;
        EXPECT_FALSE(ReadFile(c.handle, &byte, 1, &read, nullptr)) << c.what;
        EXPECT_EQ(GetFileSize(c.handle, nullptr), INVALID_FILE_SIZE) << c.what;
        EXPECT_FALSE(CloseHandle(c.handle)) << c.what;
    }

    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_FALSE(FindNextFileA(file, &data));
    EXPECT_FALSE(FindClose(file));
    EXPECT_FALSE(FindClose(foreign.get()));
    EXPECT_TRUE(CloseHandle(file));
    EXPECT_TRUE(FindClose(search));
    EXPECT_FALSE(FindClose(search));
}

TEST(Files, SafeWriteReplacesWholeFile) {
    TempDir dir;
    std::string f = dir.file("scores.bin");
    ASSERT_TRUE(platform::WriteFileSafely(f, "first"));
    ASSERT_TRUE(platform::WriteFileSafely(f, "second"));
    EXPECT_EQ(testutil::ReadFile(f), "second");
    chmod(f.c_str(), 0444);
    EXPECT_FALSE(platform::WriteFileSafely(f, "third"));
    EXPECT_EQ(testutil::ReadFile(f), "second");
    EXPECT_FALSE(platform::WriteFileSafely(dir.file("missing/x"), "y"));
}

}  // namespace

TEST(Files, WholeFileReadsTakeRegularFilesWithinTheBoundOnly) {
    testutil::TempDir dir;
    std::string fifo = dir.file("pipe"), big = dir.file("big"), edge = dir.file("edge"), small = dir.file("small");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    testutil::WriteFile(small, "abc");
    testutil::WriteFile(big, "");
    testutil::WriteFile(edge, "");
    ASSERT_EQ(truncate(big.c_str(), off_t(platform::kMaxReadFileSize + 1)), 0);  // sparse: no disk used
    ASSERT_EQ(truncate(edge.c_str(), off_t(platform::kMaxReadFileSize)), 0);
    struct Case {
        std::string path;
        bool ok;
        int error;
    } cases[] = {
        {small, true, 0}, {edge, true, 0}, {big, false, EFBIG}, {fifo, false, EACCES}, {dir.path(), false, EISDIR},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        std::string out = "stale";
        errno = 0;
        EXPECT_EQ(platform::ReadWholeFile(c.path, out), c.ok);  // a FIFO must not block
        if (c.ok) {
            EXPECT_EQ(out.size(), c.path == small ? 3u : platform::kMaxReadFileSize);
        } else {
            EXPECT_EQ(errno, c.error);
            EXPECT_TRUE(out.empty());
        }
    }
}
