// Private-profile behaviour the game's settings depend on.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include <win32.h>

#include "support/TestUtil.h"

using testutil::ReadFile;
using testutil::TempDir;
using testutil::WriteFile;

namespace {

std::string Get(const std::string& file, const char* section, const char* key, DWORD size = 255,
                const char* def = "") {
    std::string buf(size, 'X');
    DWORD n = GetPrivateProfileStringA(section, key, def, &buf[0], size, file.c_str());
    return std::string(buf.c_str(), n);
}

TEST(Profile, ReadsValuesWithWindowsRules) {
    TempDir dir;
    std::string ini = dir.file("a.ini");
    WriteFile(ini,
              "; comment\r\n"
              "[Game]\r\n"
              "  Title =  Falling Blocks  \r\n"
              "quoted=\"  spaced  \"\r\n"
              "single='x'\r\n"
              "mismatched=\"abc'\r\n"
              "dup=first\r\n"
              "dup=second\r\n"
              "empty=\r\n"
              "[other]\r\n"
              "title=wrong section\r\n"
              "[GAME]\r\n"
              "late=not seen\r\n");
    EXPECT_EQ(Get(ini, "game", "TITLE"), "Falling Blocks");
    EXPECT_EQ(Get(ini, "Game", "quoted"), "  spaced  ");
    EXPECT_EQ(Get(ini, "Game", "single"), "x");
    EXPECT_EQ(Get(ini, "Game", "mismatched"), "\"abc'");
    EXPECT_EQ(Get(ini, "Game", "dup"), "first");
    EXPECT_EQ(Get(ini, "Game", "empty", 255, "def"), "");
    EXPECT_EQ(Get(ini, "Game", "missing", 255, "def  "), "def");
    EXPECT_EQ(Get(ini, "Game", "late"), "") << "only the first section of a name counts";
    EXPECT_EQ(Get(ini, "nosuch", "title"), "");
    EXPECT_EQ(Get(dir.file("absent.ini"), "game", "title", 255, "d"), "d");

    // Bare line feeds, no newline after the last line.
    std::string lf = dir.file("lf.ini");
    WriteFile(lf, "[s]\nk=v\nlast=end");
    EXPECT_EQ(Get(lf, "s", "k"), "v");
    EXPECT_EQ(Get(lf, "s", "last"), "end");
}

TEST(Profile, TruncatesToBuffer) {
    TempDir dir;
    std::string ini = dir.file("long.ini");
    std::string value(300, 'a');
    value[253] = 'Z';
    WriteFile(ini, "[s]\r\nk=" + value + "\r\n");
    std::string got = Get(ini, "s", "k", 255);
    ASSERT_EQ(got.size(), 254u);
    EXPECT_EQ(got.back(), 'Z');
    char tiny[1] = {'x'};
    EXPECT_EQ(GetPrivateProfileStringA("s", "k", "", tiny, 1, ini.c_str()), 0u);
    EXPECT_EQ(tiny[0], '\0');
}

TEST(Profile, SectionAndKeyLists) {
    TempDir dir;
    std::string ini = dir.file("list.ini");
    WriteFile(ini, "[one]\r\na=1\r\nb=2\r\n[two]\r\n");
    char buf[64];
    DWORD n = GetPrivateProfileStringA(nullptr, nullptr, "", buf, sizeof buf, ini.c_str());
    EXPECT_EQ(std::string(buf, n), std::string("one\0two\0", 8));
    n = GetPrivateProfileStringA("one", nullptr, "", buf, sizeof buf, ini.c_str());
    EXPECT_EQ(std::string(buf, n), std::string("a\0b\0", 4));
}

TEST(Profile, WriteKeepsOtherLinesAndCreatesWhatIsMissing) {
    TempDir dir;
    std::string ini = dir.file("w.ini");
    WriteFile(ini, "; keep me\r\n[game]\r\nA=1\r\n\r\n[sound]\r\nvol=0.5\r\n");
    ASSERT_TRUE(WritePrivateProfileStringA("GAME", "a", "2", ini.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringA("game", "b", "3", ini.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringA("new", "k", "v", ini.c_str()));
    EXPECT_EQ(ReadFile(ini),
              "; keep me\r\n[game]\r\na=2\r\nb=3\r\n\r\n[sound]\r\nvol=0.5\r\n[new]\r\nk=v\r\n");

    std::string fresh = dir.file("fresh.ini");
    ASSERT_TRUE(WritePrivateProfileStringA("s", "k", "v", fresh.c_str()));
    EXPECT_EQ(ReadFile(fresh), "[s]\r\nk=v\r\n");

    std::string lf = dir.file("lf.ini");
    WriteFile(lf, "[s]\nx=1");
    ASSERT_TRUE(WritePrivateProfileStringA("s", "y", "2", lf.c_str()));
    EXPECT_EQ(ReadFile(lf), "[s]\nx=1\ny=2\n");

    EXPECT_FALSE(WritePrivateProfileStringA("s", "k", "v", dir.file("no/such/folder.ini").c_str()));
}

TEST(Profile, WrittenNamesAreTrimmedAsTheReaderTrimsThem) {
    TempDir dir;
    std::string ini = dir.file("t.ini");
    for (int i = 0; i < 2; ++i) ASSERT_TRUE(WritePrivateProfileStringA(" sound\t", "  music ", "0.5", ini.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringA("abc\f", "key\v", "1", ini.c_str()));
    EXPECT_EQ(ReadFile(ini), "[sound]\r\nmusic=0.5\r\n[abc]\r\nkey=1\r\n");
    // Read back under the names as written, trimmed or not.
    for (const char* section : {"sound", " sound\t"})
        for (const char* key : {"music", "  music ", "\fmusic\r"}) EXPECT_EQ(Get(ini, section, key), "0.5") << key;
    EXPECT_EQ(Get(ini, "abc\f", "key\v"), "1");
}

TEST(Profile, AFileThatCannotBeReadIsNotReplaced) {
    TempDir dir;
    std::string fifo = dir.file("fifo.ini"), big = dir.file("big.ini");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    FILE* f = fopen(big.c_str(), "wb");
    ASSERT_TRUE(f);
    ASSERT_EQ(ftruncate(fileno(f), 65ll << 20), 0);  // sparse, over the read bound
    fclose(f);
    for (const std::string& path : {fifo, big}) {
        SCOPED_TRACE(path);
        EXPECT_FALSE(WritePrivateProfileStringA("s", "k", "v", path.c_str()));
    }
    struct stat st;
    ASSERT_EQ(stat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    ASSERT_EQ(stat(big.c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 65ll << 20);
}

TEST(Profile, DeletesKeysAndSections) {
    TempDir dir;
    std::string ini = dir.file("d.ini");
    WriteFile(ini, "[a]\r\nx=1\r\ny=2\r\n[b]\r\nz=3\r\n");
    ASSERT_TRUE(WritePrivateProfileStringA("a", "x", nullptr, ini.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringA("b", nullptr, nullptr, ini.c_str()));
    EXPECT_EQ(ReadFile(ini), "[a]\r\ny=2\r\n");
}

TEST(Profile, ReadOnlyFileIsNotChanged) {
    TempDir dir;
    std::string ini = dir.file("ro.ini");
    WriteFile(ini, "[s]\r\nk=old\r\n");
    chmod(ini.c_str(), 0444);
    EXPECT_FALSE(WritePrivateProfileStringA("s", "k", "new", ini.c_str()));
    EXPECT_EQ(ReadFile(ini), "[s]\r\nk=old\r\n");
    EXPECT_EQ(Get(ini, "s", "k"), "old");
}

TEST(Profile, SurvivesJunk) {
    TempDir dir;
    std::string ini = dir.file("junk.ini");
    std::string junk;
    for (int i = 0; i < 4096; ++i) junk.push_back(static_cast<char>((i * 7919) & 0xFF));
    junk += "\n[s]\nk=v\n" + std::string(100000, 'q') + "\n[";
    WriteFile(ini, junk);
    EXPECT_EQ(Get(ini, "s", "k"), "v");
    ASSERT_TRUE(WritePrivateProfileStringA("s", "k", "w", ini.c_str()));
    EXPECT_EQ(Get(ini, "s", "k"), "w");
    std::string after = ReadFile(ini);
    EXPECT_EQ(after.size(), junk.size()) << "every other byte survives a write";
}

TEST(Profile, IntReading) {
    TempDir dir;
    std::string ini = dir.file("i.ini");
    WriteFile(ini, "[s]\r\na=42abc\r\nb=+1\r\nc=abc\r\nd=-7\r\n");
    EXPECT_EQ(GetPrivateProfileIntA("s", "a", 5, ini.c_str()), 42u);
    EXPECT_EQ(GetPrivateProfileIntA("s", "b", 5, ini.c_str()), 1u);
    EXPECT_EQ(GetPrivateProfileIntA("s", "c", 5, ini.c_str()), 0u);
    EXPECT_EQ(static_cast<INT>(GetPrivateProfileIntA("s", "d", 5, ini.c_str())), -7);
    EXPECT_EQ(GetPrivateProfileIntA("s", "missing", 5, ini.c_str()), 5u);
}

}  // namespace
