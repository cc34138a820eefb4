#include <gtest/gtest.h>
#include <sys/stat.h>

#include "engine/Ini.h"

#include "support/TestUtil.h"

using testutil::ReadFile;
using testutil::ScopedCwd;
using testutil::TempDir;
using testutil::WriteFile;

namespace {

TEST(Ini, ReadsByNameRelativeToCurrentDirectory) {
    TempDir dir;
    ScopedCwd cwd(dir.path());
    mkdir("themes", 0755);
    mkdir("themes/Night", 0755);
    WriteFile("config.ini", "[game]\r\nres_count=12abc\r\nname=abc\r\nopacity=0.25\r\nexp=1e2x\r\nneg= -3\r\n"
                            "plus=+1\r\nhuge=99999999999\r\nq=\"quoted\"\r\n");
    WriteFile("themes/Night/info.ini", "[info]\r\nname=Night\r\n");
    EXPECT_EQ(ReadIniInt("config.ini", "game", "res_count"), 12);
    EXPECT_EQ(ReadIniInt("config.ini", "game", "name"), 0);
    EXPECT_EQ(ReadIniInt("config.ini", "game", "neg"), -3);
    EXPECT_EQ(ReadIniInt("config.ini", "game", "plus"), 1);
    EXPECT_EQ(ReadIniInt("config.ini", "game", "huge"), 2147483647) << "clamped, not wrapped";
    EXPECT_FLOAT_EQ(ReadIniFloat("config.ini", "game", "opacity"), 0.25f);
    EXPECT_FLOAT_EQ(ReadIniFloat("config.ini", "game", "exp"), 100.0f);
    // Decimal numbers only: no hexadecimal, infinity or NaN spellings.
    WriteFile("numbers.ini", "[n]\r\nhex=0x10\r\ninf=inf\r\nnan=nan\r\ninfinity=-Infinity\r\n"
                             "frac=-.5e1z\r\nbare_e=1e\r\nbad_exp=2e-x\r\ndot=.\r\nsign=-\r\npoint=7.\r\n"
                             "big=1e39\r\nnegbig=-3.5e38\r\n");
    EXPECT_EQ(ReadIniFloat("numbers.ini", "n", "hex"), 0.0f);
    for (const char* key : {"inf", "nan", "infinity", "dot", "sign", "big", "negbig"})
        EXPECT_EQ(ReadIniFloat("numbers.ini", "n", key), 0.0f) << key;
    EXPECT_EQ(ReadIniFloat("numbers.ini", "n", "frac"), -5.0f);
    EXPECT_EQ(ReadIniFloat("numbers.ini", "n", "bare_e"), 1.0f);
    EXPECT_EQ(ReadIniFloat("numbers.ini", "n", "bad_exp"), 2.0f);
    EXPECT_EQ(ReadIniFloat("numbers.ini", "n", "point"), 7.0f);
    EXPECT_EQ(ReadIniString("config.ini", "game", "q"), "quoted");
    EXPECT_EQ(ReadIniString("themes\\Night\\info.ini", "info", "name"), "Night");

    EXPECT_EQ(ReadIniString("config.ini", "game", "missing"), "");
    EXPECT_EQ(ReadIniInt("config.ini", "game", "missing"), 0);
    EXPECT_EQ(ReadIniFloat("config.ini", "game", "missing"), 0.0f);
    EXPECT_EQ(ReadIniString("nothing.ini", "game", "x"), "");
}

TEST(Ini, WritesNumbersAsText) {
    TempDir dir;
    ScopedCwd cwd(dir.path());
    WriteIniFloat("config.ini", "game", "frame_opacity", 0.5f);
    WriteIniInt("config.ini", "game", "difficulty", -3);
    WriteIniString("config.ini", "game", "theme", "Night Sky");
    EXPECT_EQ(ReadFile(dir.file("config.ini")), "[game]\r\nframe_opacity=0.50000\r\ndifficulty=-3\r\ntheme=Night Sky\r\n");
    WriteIniFloat("config.ini", "game", "frame_opacity", 0.3f);
    EXPECT_EQ(ReadIniString("config.ini", "game", "frame_opacity"), "0.30000");
}

TEST(Ini, LongValuesAndFailedWrites) {
    TempDir dir;
    ScopedCwd cwd(dir.path());
    std::string value(300, 'v');
    WriteIniString("config.ini", "s", "k", value);
    EXPECT_EQ(ReadIniString("config.ini", "s", "k"), std::string(254, 'v'));

    chmod("config.ini", 0444);
    WriteIniString("config.ini", "s", "k", "lost");
    EXPECT_EQ(ReadIniString("config.ini", "s", "k"), std::string(254, 'v'));
    WriteIniString("missing\\folder.ini", "s", "k", "v");  // silent
    EXPECT_EQ(ReadIniString("missing\\folder.ini", "s", "k"), "");
    // A path beyond the 260-character limit is refused rather than cut.
    std::string longName(300, 'n');
    WriteIniString(longName, "s", "k", "v");
    EXPECT_EQ(ReadIniString(longName, "s", "k"), "");
}

TEST(Ini, CurrentDirectoryTooLongIsRefused) {
    // An INI file reachable by the same name from the root of the disk.
    TempDir dir;
    WriteFile(dir.file("config.ini"), "[s]\r\nk=root\r\n");
    std::string fromRoot = dir.path().substr(1);
    for (char& c : fromRoot)
        if (c == '/') c = '\\';
    fromRoot += "\\config.ini";

    std::string deep = dir.path();
    for (int i = 0; i < 6; ++i) {
        deep += "/" + std::string(50, 'd');
        mkdir(deep.c_str(), 0755);
    }
    ScopedCwd cwd(deep);
    EXPECT_EQ(ReadIniString(fromRoot, "s", "k"), "");
    WriteIniString(fromRoot, "s", "k", "changed");
    EXPECT_EQ(ReadFile(dir.file("config.ini")), "[s]\r\nk=root\r\n");
}

}  // namespace
