#include <gtest/gtest.h>
#include <win32.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "engine/Settings.h"

#include "support/TestUtil.h"

namespace {

// The names of a list read with a null section or key, each ended by a NUL.
std::vector<std::string> Names(const char* section) {
    std::vector<char> buffer(16384);
    const DWORD n = GetPrivateProfileStringA(section, nullptr, "", buffer.data(), DWORD(buffer.size()), "config.ini");
    std::vector<std::string> names;
    for (DWORD i = 0; i < n; i += DWORD(names.back().size()) + 1) names.emplace_back(&buffer[i]);
    return names;
}

// A misspelt key reads as empty and escapes the repair; a number shipped outside its range is clamped at every start.
TEST(Settings, TheTemplateHoldsEachSettingOnceWithAUsableValue) {
    testutil::ScopedCwd cwd(std::string(getenv("KOLVAR_SOURCE_DIR")) + "/data/templates");
    size_t keys = 0;
    for (const std::string& section : Names(nullptr))
        for (const std::string& key : Names(section.c_str())) {
            SCOPED_TRACE("[" + section + "] " + key);
            ++keys;
            const settings::Setting* s = settings::Find(section, key);
            ASSERT_NE(s, nullptr) << "not in the table";
            EXPECT_EQ(s->section + (" " + std::string(s->key)), section + " " + key) << "spelt alike";
            if (s->kind == settings::Kind::Text) continue;
            const float value = settings::ReadFloat(s->id);
            EXPECT_TRUE(value >= s->low && value <= s->high) << value;
        }
    EXPECT_EQ(keys, size_t(settings::Id::Count)) << "the table has settings the template lacks";
}

}  // namespace
