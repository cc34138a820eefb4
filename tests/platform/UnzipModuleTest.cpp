// The unzip module on hostile and damaged archives: nothing may be written
// outside the target folder, and an archive with any entry refused or failing
// installs nothing at all.
#include <gtest/gtest.h>

#include <unzip.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <thread>
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

TEST_F(UnzipModule, RefusesHostileNamesAndThenWritesNothing) {
    struct Case {
        const char* stored;
        const char* hostile;
    } cases[] = {{"qqqevil", "../evil"},
                 {"qqqevil", "..\\evil"},
                 {"Xabs/path", "/abs/path"},
                 {"a/qq/qq/evil", "a/../../evil"},
                 {"theme/aXb.txt", "theme/a\nb.txt"},
                 {"theme/aXb.txt", "theme/a\x7f" "b.txt"},
                 {"theme/aXb.txt", "theme/a\x1b" "b.txt"},
                 {"theme/Xab.txt", "theme/ ab.txt"},
                 {"theme/abX.txt", "theme/ab.txt "},
                 {"themeX/ab.txt", "theme /ab.txt"},
                 // The installer's own staging folder, as another installation would name it.
                 {"Xunzip-staging-abcdef/a", ".unzip-staging-abcdef/a"},
                 {"XUNZIP-STAGING-abcdef/a", ".UNZIP-STAGING-abcdef/a"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.hostile);
        ResetThemes();
        ASSERT_TRUE(testutil::MakeZip(Archive(), {{"theme/ok.txt", "fine"}, {c.stored, "evil"}}));
        testutil::RenameZipEntry(Archive(), c.stored, c.hostile);

        EXPECT_EQ(Unzip(), PK_WARN);
        EXPECT_EQ(FilesBelowThemes(), std::vector<std::string>{});
        EXPECT_EQ(StrayFiles(), std::vector<std::string>{});
        EXPECT_NE(g_Said.find("refused entry \""), std::string::npos) << g_Said;
        // What it says names the entry without the control characters.
        EXPECT_EQ(std::count_if(g_Said.begin(), g_Said.end(), [](char ch) { return ch != '\n' && (ch < 0x20 || ch == 0x7f); }), 0);
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
    EXPECT_EQ(FilesBelowThemes(), std::vector<std::string>{});
    EXPECT_NE(g_Said.find("\"theme/link\""), std::string::npos) << g_Said;

    // A link already in the target may not be followed by an entry's folder.
    fs::create_symlink(m_tmp.file("outside"), Themes() + "/door");
    ASSERT_TRUE(testutil::MakeZip(Archive(), {{"door/evil", "evil"}, {"theme/ok2.txt", "fine"}}));
    EXPECT_NE(Unzip(), 0);
    EXPECT_TRUE(fs::is_empty(m_tmp.file("outside")));
    EXPECT_FALSE(fs::exists(Themes() + "/theme"));
    EXPECT_NE(g_Said.find("\"door\""), std::string::npos) << g_Said;
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

// The themes folder as it stands: every path below it, with the contents of its files.
std::map<std::string, std::string> Snapshot(const std::string& folder) {
    std::map<std::string, std::string> tree;
    for (const auto& e : fs::recursive_directory_iterator(folder))
        tree[e.path().string().substr(folder.size() + 1)] = e.is_directory() ? "/" : testutil::ReadFile(e.path().string());
    return tree;
}

TEST_F(UnzipModule, AnArchiveThatFailsAnywhereLeavesTheTargetAsItWas) {
    // Good entries first, each replacing or adding to an installed theme, then the fault.
    const std::map<std::string, std::string> good = {
        {"dusk/info.ini", "[general]\nname=New Dusk\n"}, {"dusk/new.txt", "new"}, {"loose.txt", "top"}};
    auto with = [&](const std::string& name, const std::string& contents) {
        std::map<std::string, std::string> files = good;
        files[name] = contents;
        return files;
    };
    struct Case {
        const char* what;
        std::map<std::string, std::string> files;
        std::function<void()> damage;
        const char* password;
        int result;
    } cases[] = {
        {"bad CRC", with("zz/data.bin", "CORRUPTME" + std::string(100, 'x')),
         [&] {
             std::string data = testutil::ReadFile(Archive());
             data.replace(data.find("CORRUPTME"), 9, "CORRUPTMF");
             testutil::WriteFile(Archive(), data);
         },
         "", PK_ERR},
        {"refused entry", with("zz/qqqevil", "e"), [&] { testutil::RenameZipEntry(Archive(), "zz/qqqevil", "zz/../evil"); },
         "", PK_WARN},
        {"control character", with("zz/aXb", "e"), [&] { testutil::RenameZipEntry(Archive(), "zz/aXb", "zz/a\tb"); }, "",
         PK_WARN},
        {"larger than it claims", with("zz/zeros.bin", std::string(1 << 16, '\0')),
         [&] { testutil::SetZipEntrySize(Archive(), 3, 100); }, "", PK_BOMB},
        {"wrong password", good, [] {}, "wrong", PK_BADPWD},
        {"a folder where a file goes", with("dusk/old.txt", "file"), [] {}, "", PK_WARN},
        {"a file where a folder goes", {{"dusk/new.txt", "new"}, {"loose.txt/x", "x"}}, [] {}, "", PK_WARN},
    };
    fs::create_directories(Themes() + "/dusk/old.txt");
    testutil::WriteFile(Themes() + "/dusk/info.ini", "[general]\nname=Dusk\n");
    testutil::WriteFile(Themes() + "/loose.txt", "old top");
    const auto before = Snapshot(Themes());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        g_Said.clear();
        // The wrong password needs an encrypted archive; the others are plain.
        ASSERT_TRUE(testutil::MakeZip(Archive(), c.files, *c.password ? "right" : "", "-0"));
        c.damage();
        EXPECT_EQ(Unzip(c.password), c.result) << g_Said;
        EXPECT_EQ(Snapshot(Themes()), before);
        EXPECT_EQ(StrayFiles(), std::vector<std::string>{});
    }
}

TEST_F(UnzipModule, AnInstallMergesIntoExistingFoldersAndRemovesOnlyLeftoverStaging) {
    fs::create_directories(Themes() + "/dusk");
    fs::create_directories(Themes() + "/.unzip-staging-dead01/new/dusk");
    fs::create_directories(Themes() + "/.unzip-staging-live01/new");
    testutil::WriteFile(Themes() + "/dusk/keep.txt", "kept");
    testutil::WriteFile(Themes() + "/dusk/info.ini", "[general]\nname=Dusk\n");
    fs::create_symlink("keep.txt", Themes() + "/dusk/link.txt");
    // Left by an installation that died, and one that is still running (it holds its folder locked).
    testutil::WriteFile(Themes() + "/.unzip-staging-dead01/new/dusk/info.ini", "half");
    testutil::WriteFile(Themes() + "/.unzip-staging-live01/new/x", "x");
    int live = open((Themes() + "/.unzip-staging-live01").c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(live, 0);
    ASSERT_EQ(flock(live, LOCK_EX), 0);
    // Names the old one-file-at-a-time installer used for its temporary files are plain entries now.
    ASSERT_TRUE(testutil::MakeZip(Archive(), {{"dusk/info.ini", "[general]\nname=New Dusk\n"},
                                              {"dusk/.info.ini.part", "part"},
                                              {"dusk/link.txt", "file"},
                                              {"dusk/sub/a.txt", "a"},
                                              {"loose.txt", "top"}}));
    EXPECT_EQ(Unzip(), PK_OK) << g_Said;
    close(live);
    EXPECT_EQ(Snapshot(Themes()), (std::map<std::string, std::string>{{".unzip-staging-live01", "/"},
                                                                       {".unzip-staging-live01/new", "/"},
                                                                       {".unzip-staging-live01/new/x", "x"},
                                                                       {"dusk", "/"},
                                                                       {"dusk/.info.ini.part", "part"},
                                                                       {"dusk/info.ini", "[general]\nname=New Dusk\n"},
                                                                       {"dusk/keep.txt", "kept"},
                                                                       {"dusk/link.txt", "file"},
                                                                       {"dusk/sub", "/"},
                                                                       {"dusk/sub/a.txt", "a"},
                                                                       {"loose.txt", "top"}}));
    EXPECT_FALSE(fs::is_symlink(Themes() + "/dusk/link.txt"));
}

// Writes files (name -> contents; names may hold folders) below a folder.
void WriteTree(const std::string& folder, const std::map<std::string, std::string>& files) {
    for (const auto& [name, contents] : files) {
        fs::create_directories(fs::path(folder + "/" + name).parent_path());
        testutil::WriteFile(folder + "/" + name, contents);
    }
}

// A tree as Snapshot gives it, from the files of WriteTree.
std::map<std::string, std::string> TreeOf(const std::map<std::string, std::string>& files) {
    std::map<std::string, std::string> tree;
    for (const auto& [name, contents] : files) {
        tree[name] = contents;
        for (fs::path p = fs::path(name).parent_path(); !p.empty(); p = p.parent_path()) tree[p.string()] = "/";
    }
    return tree;
}

// The states a killed installation leaves its staging folder in, as the next start finds them.
TEST_F(UnzipModule, TheNextStartFinishesASwapThatBeganAndUndoesOneThatDidNot) {
    auto finish = reinterpret_cast<KOLVAR_FINISH_INTERRUPTED_INSTALLS>(
        GetProcAddress(m_module, "KolvarFinishInterruptedInstalls"));
    ASSERT_NE(finish, nullptr);
    const std::map<std::string, std::string> oldDusk = {{"dusk/info.ini", "old"}, {"dusk/a.txt", "a"}};
    const std::map<std::string, std::string> newDusk = {{"dusk/info.ini", "new"}, {"dusk/a.txt", "a"}};
    const std::string staging = Themes() + "/.unzip-staging-dead01";
    struct Case {
        const char* what;
        bool swapping;                                  // the marker that the swap began
        std::map<std::string, std::string> target, aside, staged;
        const std::map<std::string, std::string>* whole;  // what the themes folder ends as
    } cases[] = {
        {"killed while unpacking", false, oldDusk, {}, {{"dusk/info.ini", "ne"}}, &oldDusk},
        {"killed before the first rename", true, oldDusk, {}, newDusk, &newDusk},
        {"killed between the two renames", true, {}, oldDusk, newDusk, &newDusk},
        {"killed while putting back", false, {}, oldDusk, newDusk, &oldDusk},
        {"killed while tidying up", true, newDusk, {{"dusk/a.txt", "a"}}, {}, &newDusk},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ResetThemes();
        WriteTree(Themes(), c.target);
        fs::create_directories(staging + "/new");
        fs::create_directories(staging + "/old");
        WriteTree(staging + "/old", c.aside);
        WriteTree(staging + "/new", c.staged);
        if (c.swapping) testutil::WriteFile(staging + "/swapping", "");
        EXPECT_EQ(finish(Themes().c_str(), Print), 1);
        EXPECT_EQ(Snapshot(Themes()), TreeOf(*c.whole)) << g_Said;
        EXPECT_EQ(finish(Themes().c_str(), Print), 0);
    }
}

// A child process reinstalls a theme over the old one, with a second theme
// new to the target, and is killed after a random delay, 200 times. Each
// theme is then old or new and whole, never mixed or short of a file (the
// one being swapped may be missing until the next start), and the next start
// leaves the whole themes folder as before or as after, with nothing left of
// the installer.
TEST_F(UnzipModule, AReinstallKilledAtAnyMomentLeavesEveryThemeWhole) {
    auto finish = reinterpret_cast<KOLVAR_FINISH_INTERRUPTED_INSTALLS>(
        GetProcAddress(m_module, "KolvarFinishInterruptedInstalls"));
    ASSERT_NE(finish, nullptr);
    std::map<std::string, std::string> installed, archive;
    // Small, so that the sanitizer build runs it in time too.
    for (int i = 0; i < 4; ++i) {
        const std::string name = "dusk/" + std::string(i % 2 ? "sub/" : "") + "file" + std::to_string(i) + ".txt";
        installed[name] = "old " + name;
        if (i % 4 != 3) archive[name] = "new " + name;
        if (i < 2) archive["fresh/file" + std::to_string(i) + ".txt"] = "fresh";
    }
    installed["dusk/info.ini"] = "[general]\nname=Dusk\n";
    archive["dusk/info.ini"] = "[general]\nname=New Dusk\n";
    archive["dusk/added/extra.txt"] = "extra";
    ASSERT_TRUE(testutil::MakeZip(Archive(), archive));
    // The archive's files over the installed ones; the files it lacks are kept.
    std::map<std::string, std::string> merged = archive;
    merged.insert(installed.begin(), installed.end());
    const auto before = TreeOf(installed), after = TreeOf(merged);
    auto themeOf = [](const std::map<std::string, std::string>& tree, const std::string& theme) {
        std::map<std::string, std::string> part;
        for (const auto& [path, contents] : tree)
            if (path.rfind(theme + "/", 0) == 0) part[path.substr(theme.size() + 1)] = contents;
        return part;
    };

    using Clock = std::chrono::steady_clock;
    // Runs an installation in a child, killed after killAfter unless it is negative.
    auto installInChild = [&](std::chrono::microseconds killAfter) {
        const Clock::time_point start = Clock::now();
        pid_t pid = fork();
        if (pid == 0) _exit(Unzip() == PK_OK ? 0 : 1);
        if (killAfter.count() >= 0) {
            std::this_thread::sleep_for(killAfter);
            kill(pid, SIGKILL);
        }
        int status = 0;
        // A child that hangs is killed after ten seconds.
        while (waitpid(pid, &status, WNOHANG) == 0) {
            if (Clock::now() - start > std::chrono::seconds(10)) kill(pid, SIGKILL);
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
        return std::make_pair(Clock::now() - start, status);
    };

    // How long a whole reinstall takes here (at best: the machine may be busy);
    // the kills spread over a little more.
    Clock::duration whole = Clock::duration::max();
    for (int i = 0; i < 3; ++i) {
        ResetThemes();
        WriteTree(Themes(), installed);
        auto [took, status] = installInChild(std::chrono::microseconds(-1));
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        ASSERT_EQ(Snapshot(Themes()), after);
        whole = std::min(whole, took);
    }
    std::mt19937 random(20261210);
    std::uniform_int_distribution<long> delay(
        0, std::chrono::duration_cast<std::chrono::microseconds>(whole).count() * 6 / 5);
    int keptOld = 0, gotNew = 0, betweenRenames = 0, leftovers = 0;
    for (int attempt = 0; attempt < 200; ++attempt) {
        SCOPED_TRACE(attempt);
        ResetThemes();
        WriteTree(Themes(), installed);
        installInChild(std::chrono::microseconds(delay(random)));

        bool staged = false;
        for (const auto& e : fs::directory_iterator(Themes()))
            staged = staged || e.path().filename().string().rfind(".unzip-staging-", 0) == 0;
        for (const std::string theme : {"dusk", "fresh"}) {
            const std::string folder = Themes() + "/" + theme;
            const auto old = themeOf(before, theme);
            if (!fs::exists(folder)) {
                if (!old.empty()) {
                    EXPECT_TRUE(staged) << "the theme is gone and nothing is set aside";
                    ++betweenRenames;
                }
                continue;
            }
            const auto now = Snapshot(folder);
            EXPECT_TRUE(now == themeOf(after, theme) || (!old.empty() && now == old)) << theme;
        }
        leftovers += staged;

        EXPECT_EQ(finish(Themes().c_str(), Print), staged ? 1 : 0);
        const auto tidied = Snapshot(Themes());
        EXPECT_TRUE(tidied == before || tidied == after);
        keptOld += tidied == before;
        gotNew += tidied == after;
        if (HasFailure()) break;
    }
    // Both ends of the installation were hit, so the kills spread over all of it.
    EXPECT_GT(keptOld, 0);
    EXPECT_GT(gotNew, 0);
    printf("kills: %d kept the old themes, %d ended new, %d left staging behind, %d between the renames\n",
           keptOld, gotNew, leftovers, betweenRenames);
}

TEST_F(UnzipModule, CorpusArchivesInstallWholeOrNotAtAll) {
    for (const std::string& path : testutil::CorpusFiles("archive")) {
        SCOPED_TRACE(path);
        ResetThemes();
        testutil::WriteFile(Archive(), testutil::ReadFile(path));
        EXPECT_EQ(Unzip("brunal7284sivoxe") == PK_OK, testutil::ShouldLoad(path)) << g_Said;
        EXPECT_EQ(FilesBelowThemes().empty(), !testutil::ShouldLoad(path));
        EXPECT_EQ(StrayFiles(), std::vector<std::string>{});
    }
}

TEST_F(UnzipModule, DamagedArchivesFailWithoutWriting) {
    ASSERT_TRUE(testutil::MakeZip(Archive(), {{"theme/a.txt", std::string(5000, 'x')}}));
    std::string whole = testutil::ReadFile(Archive());
    for (const std::string& damaged : {whole.substr(0, whole.size() / 2), std::string("not a zip archive")}) {
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
