#include <gtest/gtest.h>

#include <crt.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "support/TestUtil.h"

namespace {

TEST(Crt, GeneratorRepeatsTheClassicSequence) {
    crt_srand(1);
    EXPECT_EQ(crt_rand(), 41);
    EXPECT_EQ(crt_rand(), 18467);
    EXPECT_EQ(crt_rand(), 6334);
    EXPECT_EQ(crt_rand(), 26500);
    EXPECT_EQ(crt_rand(), 19169);
    crt_srand(12345);
    int first = crt_rand();
    crt_srand(12345);
    EXPECT_EQ(crt_rand(), first);
    for (int i = 0; i < 100000; ++i) {
        int r = crt_rand();
        ASSERT_GE(r, 0);
        ASSERT_LE(r, CRT_RAND_MAX);
    }
    crt_srand(1);
}

TEST(Crt, TimeTextHasZeroPaddedDay) {
    struct tm t = {};
    t.tm_year = 2026 - 1900;
    t.tm_mon = 11;
    t.tm_mday = 8;
    t.tm_wday = 2;
    t.tm_hour = 9;
    t.tm_min = 2;
    t.tm_sec = 7;
    char out[25];
    crt_timetext(&t, out);
    EXPECT_STREQ(out, "Tue Dec 08 09:02:07 2026");
    crt_now_text(out);
    EXPECT_EQ(strlen(out), 24u);
}

// A locale whose decimal separator is a comma: an installed one, or one built
// here with localedef (found through LOCPATH).
bool UseCommaLocale(const std::string& folder) {
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8"})
        if (setlocale(LC_ALL, name)) return true;
    std::string out = folder + "/de_DE.UTF-8";
    std::string cmd = "localedef -c -i de_DE -f UTF-8 '" + out + "' >/dev/null 2>&1";
    if (std::system(cmd.c_str()) != 0 && !testutil::FileExists(out + "/LC_NUMERIC")) return false;
    setenv("LOCPATH", folder.c_str(), 1);
    bool ok = setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
    unsetenv("LOCPATH");
    return ok;
}

TEST(Crt, NumbersUseTheCLocaleAfterAnotherWasSet) {
    testutil::TempDir dir;
    if (!UseCommaLocale(dir.path())) {
        setlocale(LC_ALL, "C");
        GTEST_SKIP() << "no decimal-comma locale installed and localedef could not build one";
    }
    char buf[32];
    snprintf(buf, sizeof buf, "%.1f", 0.5);
    ASSERT_STREQ(buf, "0,5") << "the comma locale is not in effect";
    crt_use_c_locale();
    snprintf(buf, sizeof buf, "%.5f", 0.5);
    EXPECT_STREQ(buf, "0.50000");
    EXPECT_EQ(strtod("2.5", nullptr), 2.5);
}

}  // namespace
