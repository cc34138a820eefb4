#include <gtest/gtest.h>

#include "engine/Singleton.h"

namespace {

// Looks itself up while being built, as code run from a constructor might.
class CSelfSeeking : public CSingleton<CSelfSeeking> {
public:
    CSelfSeeking() {
        ++constructions;
        seenDuringConstruction = GetInstance();
        existedDuringConstruction = HasInstance();
    }
    static inline int constructions = 0;
    static inline CSelfSeeking* seenDuringConstruction = nullptr;
    static inline bool existedDuringConstruction = true;
};

TEST(Singleton, PublishedOnlyAfterItsConstructorAndBuiltOnce) {
    EXPECT_FALSE(CSelfSeeking::HasInstance());
    CSelfSeeking* instance = CSelfSeeking::GetInstance();
    ASSERT_NE(instance, nullptr);
    EXPECT_EQ(CSelfSeeking::constructions, 1);
    EXPECT_EQ(CSelfSeeking::seenDuringConstruction, nullptr);
    EXPECT_FALSE(CSelfSeeking::existedDuringConstruction);
    EXPECT_EQ(CSelfSeeking::GetInstance(), instance);
    EXPECT_EQ(CSelfSeeking::GetInstancePtr(), instance);
    delete instance;
    EXPECT_FALSE(CSelfSeeking::HasInstance());
    EXPECT_EQ(CSelfSeeking::GetInstancePtr(), nullptr);
}

}  // namespace
