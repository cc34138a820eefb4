// The unzip module on hostile and damaged archives: nothing may be written
// outside the target folder, and a refused entry leaves no file behind.
#include <gtest/gtest.h>

#include <unzip.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/TestUtil.h"
#include "support/ZipFixture.h"

namespace fs = std::filesystem;

namespace {

std::string g_Said;
int WINAPI Print(LPSTR text, unsigned long length) {
    g_Said.append(text, length);
    return static_cast<int>(length);
}
const char* g_Password = "";
int WINAPI Password(LPSTR buffer, int size, LPCSTR, LPCSTR) {
    snprintf(buffer, static_cast<size_t>(size), "%s", g_Password);
    return 0;
}

class UnzipModule : public ::testing::Test {
protected:
    void SetUp() override {
        m_module = LoadLibraryA("arch.DLL");
        ASSERT_NE(m_module, nullptr);
        m_unzip = reinterpret_cast<WIZ_SINGLE_ENTRY_UNZIP>(GetProcAddress(m_module, "Wiz_SingleEntryUnzip"));
        ASSERT_NE(m_unzip, nullptr);
        ResetThemes();
    }
    void TearDown() override {
        if (m_module) FreeLibrary(m_module);
    }

    std::string Archive() const { return m_tmp.file("archive.zip"); }
    std::string Themes() const { return m_tmp.file("game/themes"); }
    void ResetThemes() {
        fs::remove_all(Themes());
        fs::create_directories(Themes());
        g_Said.clear();
    }

    int Unzip(const char* password = "") {
        g_Password = password;
        DCL options{};
        options.ndflag = 1;
        options.noflag = 1;
        std::string archive = Archive(), target = Themes();
        options.lpszZipFN = &archive[0];
        options.lpszExtractDir = &target[0];
        USERFUNCTIONS callbacks{};
        callbacks.print = Print;
        callbacks.password = Password;
        return m_unzip(0, nullptr, 0, nullptr, &options, &callbacks);
    }

    // Every file of the temporary tree outside the target folder and the archive.
    std::vector<std::string> StrayFiles() const {
        std::vector<std::string> stray;
        for (const auto& e : fs::recursive_directory_iterator(m_tmp.path())) {
            std::string p = e.path().string();
            if (p == Archive() || p.rfind(Themes() + "/", 0) == 0 || e.is_directory()) continue;
            stray.push_back(p);
        }
        return stray;
    }
    std::vector<std::string> FilesBelowThemes() const {
        std::vector<std::string> files;
        for (const auto& e : fs::recursive_directory_iterator(Themes()))
            if (!e.is_directory()) files.push_back(fs::relative(e.path(), Themes()).string());
        return files;
    }

    testutil::TempDir m_tmp;
    HMODULE m_module = nullptr;
    WIZ_SINGLE_ENTRY_UNZIP m_unzip = nullptr;
};

TEST_F(UnzipModule, RefusesEntriesLeavingTheTargetAndKeepsTheSafeOnes) {
    struct Case {
        const char* stored;
        const char* hostile;
    } cases[] = {{"qqqevil", "../evil"}, {"qqqevil", "..\\evil"}, {"Xabs/path", "/abs/path"},
                 {"a/qq/qq/evil", "a/../../evil"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.hostile);
        ResetThemes();
        ASSERT_TRUE(testutil::MakeZip(Archive(), {{"theme/ok.txt", "fine"}, {c.stored, "evil"}}));
        testutil::RenameZipEntry(Archive(), c.stored, c.hostile);

        EXPECT_NE(Unzip(), 0);
        EXPECT_EQ(testutil::ReadFile(Themes() + "/theme/ok.txt"), "fine");
        EXPECT_EQ(StrayFiles(), std::vector<std::string>{});
        EXPECT_NE(g_Said.find(std::string("\"") + c.hostile + "\""), std::string::npos) << g_Said;
    }
}

TEST_F(UnzipModule, RefusesSymbolicLinksInTheArchiveAndInTheTarget) {
    fs::create_directories(m_tmp.file("outside"));
    testutil::TempDir source;
    fs::create_directories(source.path() + "/theme");
    testutil::WriteFile(source.path() + "/theme/ok.txt", "fine");
    fs::create_symlink(m_tmp.file("outside"), source.path() + "/theme/link");
    ASSERT_EQ(std::system(("cd '" + source.path() + "' && zip -q -r -y '" + Archive() + "' theme").c_str()), 0);
    EXPECT_NE(Unzip(), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(Themes() + "/theme/link")));
    EXPECT_NE(g_Said.find("\"theme/link\""), std::string::npos) << g_Said;

    // A link already in the target may not be followed by an entry's folder.
    fs::create_symlink(m_tmp.file("outside"), Themes() + "/door");
    ASSERT_TRUE(testutil::MakeZip(Archive(), {{"door/evil", "evil"}, {"theme/ok2.txt", "fine"}}));
    EXPECT_NE(Unzip(), 0);
    EXPECT_TRUE(fs::is_empty(m_tmp.file("outside")));
    EXPECT_EQ(testutil::ReadFile(Themes() + "/theme/ok2.txt"), "fine");
    EXPECT_NE(g_Said.find("\"door/evil\""), std::string::npos) << g_Said;
}

TEST_F(UnzipModule, RefusesArchivesThatUnpackPastTheBoundBeforeWriting) {
    struct Case {
        const char* what;
        std::vector<uint32_t> sizes;
    } cases[] = {{"one huge entry", {0xFFFFFFF0u}}, {"entries adding up past 1 GiB", {600u << 20, 600u << 20}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ResetThemes();
        ASSERT_TRUE(testutil::MakeZip(Archive(), {{"a.txt", std::string(1000, 'a')}, {"b.txt", "b"}}));
        for (size_t i = 0; i < c.sizes.size(); ++i) testutil::SetZipEntrySize(Archive(), static_cast<int>(i), c.sizes[i]);
        EXPECT_NE(Unzip(), 0);
        EXPECT_EQ(FilesBelowThemes(), std::vector<std::string>{});
    }
}

TEST_F(UnzipModule, DamagedArchivesFailWithoutWriting) {
    ASSERT_TRUE(testutil::MakeZip(Archive(), {{"theme/a.txt", std::string(5000, 'x')}}));
    std::string whole = testutil::ReadFile(Archive());
    ASSERT_TRUE(testutil::MakeZip(Archive(), {{"zeros.bin", std::string(1 << 16, '\0')}}));
    testutil::SetZipEntrySize(Archive(), 0, 100);
    const std::string overlong = testutil::ReadFile(Archive());  // an entry larger than it claims
    for (const std::string& damaged : {whole.substr(0, whole.size() / 2), std::string("not a zip archive"), overlong}) {
        testutil::WriteFile(Archive(), damaged);
        EXPECT_NE(Unzip(), 0);
        EXPECT_EQ(FilesBelowThemes(), std::vector<std::string>{});
    }
}

TEST_F(UnzipModule, DecryptsWithTheCallbacksPasswordOnly) {
    ASSERT_TRUE(testutil::MakeZip(Archive(), {{"theme/info.ini", "[general]\nname=Secret\n"}}, "letmein"));
    EXPECT_NE(Unzip("wrong"), 0);
    EXPECT_EQ(FilesBelowThemes(), std::vector<std::string>{});
    EXPECT_EQ(Unzip("letmein"), 0);
    EXPECT_EQ(testutil::ReadFile(Themes() + "/theme/info.ini"), "[general]\nname=Secret\n");
}

}  // namespace
