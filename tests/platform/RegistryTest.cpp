#include <gtest/gtest.h>

#include <platform.h>
#include <win32.h>

#include "support/TestUtil.h"

namespace {

class Registry : public ::testing::Test {
protected:
    void SetUp() override {
        m_Saved = platform::RegistryFile();
        platform::SetRegistryFile(m_Dir.file("reg/registry.ini"));
    }
    void TearDown() override { platform::SetRegistryFile(m_Saved); }
    testutil::TempDir m_Dir;
    std::string m_Saved;
};

TEST_F(Registry, StoresStringsAndNumbers) {
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Game", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Game", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
    const char text[] = "C:\\Games\\icon.ico,0";
    EXPECT_EQ(RegSetValueExA(key, "", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text), ERROR_SUCCESS);
    DWORD number = 1234567;
    EXPECT_EQ(RegSetValueExA(key, "Count", 0, REG_DWORD, reinterpret_cast<BYTE*>(&number), 4), ERROR_SUCCESS);
    RegCloseKey(key);

    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "software\\GAME", 0, KEY_READ, &key), ERROR_SUCCESS);
    char buf[64];
    DWORD type = 0, size = sizeof buf;
    ASSERT_EQ(RegQueryValueExA(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_STREQ(buf, text);
    EXPECT_EQ(size, sizeof text);

    size = 4;
    DWORD out = 0;
    ASSERT_EQ(RegQueryValueExA(key, "count", nullptr, &type, reinterpret_cast<BYTE*>(&out), &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(out, number);

    size = 3;
    EXPECT_EQ(RegQueryValueExA(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, sizeof text);
    EXPECT_EQ(RegQueryValueExA(key, "absent", nullptr, &type, reinterpret_cast<BYTE*>(buf), &size),
              ERROR_FILE_NOT_FOUND);
    RegCloseKey(key);

    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Game"), ERROR_SUCCESS);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Game", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
}

TEST_F(Registry, BadHandlesAreRefused) {
    HKEY bogus = reinterpret_cast<HKEY>(&m_Saved);
    HKEY out = nullptr;
    EXPECT_EQ(RegOpenKeyExA(bogus, "x", 0, KEY_READ, &out), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(bogus), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "x", 0, KEY_READ, nullptr), ERROR_INVALID_PARAMETER);
}

}  // namespace
