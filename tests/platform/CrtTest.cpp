#include <gtest/gtest.h>

#include <crt.h>

#include <cstdio>

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

TEST(Crt, NumbersUseTheCLocale) {
    crt_use_c_locale();
    char buf[32];
    snprintf(buf, sizeof buf, "%.5f", 0.5);
    EXPECT_STREQ(buf, "0.50000");
}

}  // namespace
