#include <gtest/gtest.h>

#include "engine/Utils.h"

#include <crt.h>

#include <set>

namespace {

TEST(Utils, IntToStringSharesOneBuffer) {
    const char* a = IntToString(5);
    const char* b = IntToString(-12);
    EXPECT_STREQ(a, "-12");
    EXPECT_STREQ(b, "-12");
    EXPECT_STREQ(IntToString(2147483647), "2147483647");
}

TEST(Utils, RandomIntStaysInRange) {
    crt_srand(1);
    for (int i = 0; i < 1000; ++i) EXPECT_EQ(RandomInt(0, 1), 0);
    std::set<int> seen;
    for (int i = 0; i < 1000; ++i) seen.insert(RandomInt(2, 5));
    EXPECT_EQ(seen, (std::set<int>{2, 3, 4}));
    EXPECT_EQ(RandomInt(7, 7), 7) << "an empty range gives its bound instead of dividing by zero";
    for (int i = 0; i < 100; ++i) {
        int r = RandomInt(5, 2);
        EXPECT_GE(r, 5);
        EXPECT_LE(r, 7);
    }
    crt_srand(1);
}

TEST(Utils, RandomFloatIncludesBothEnds) {
    // Find a seed whose next draw is 32767 and one whose next draw is 0.
    unsigned top = 0, bottom = 0;
    bool haveTop = false, haveBottom = false;
    for (unsigned s = 0; s < 2000000 && !(haveTop && haveBottom); ++s) {
        crt_srand(s);
        int r = crt_rand();
        if (r == 32767 && !haveTop) top = s, haveTop = true;
        if (r == 0 && !haveBottom) bottom = s, haveBottom = true;
    }
    ASSERT_TRUE(haveTop && haveBottom);
    crt_srand(top);
    EXPECT_EQ(RandomFloat(1.0f, 3.0f), 3.0f);
    crt_srand(bottom);
    EXPECT_EQ(RandomFloat(1.0f, 3.0f), 1.0f);
    crt_srand(1);
}

TEST(Utils, LerpExtrapolates) {
    EXPECT_FLOAT_EQ(Lerp(2, 4, 0.5f), 3);
    EXPECT_FLOAT_EQ(Lerp(2, 4, 2), 6);
    EXPECT_FLOAT_EQ(Lerp(2, 4, -1), 0);
}

}  // namespace
