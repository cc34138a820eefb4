// The high-score table: placing scores, the 2600-byte file and its faults,
// and the online page with its encoded data.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "app/Highscores.h"
#include "app/MenuText.h"
#include "support/EngineScope.h"
#include "support/EngineSupport.h"
#include "support/TestUtil.h"

namespace {

class HighscoresTest : public testing::Test {
protected:
    HighscoresTest() : m_cwd(m_dir.path()) {
        testutil::WriteFile(m_dir.file("config.ini"),
                            "[highscores]\r\nlocal_scores_file=highscores.dat\r\n"
                            "online_scores_html=online_scores.html\r\n"
                            "online_scores_script=http://scores.example.invalid/post\r\n");
        m_Singletons.Track<CHighscores>();
        m_table = CHighscores::GetInstance();
    }
    ~HighscoresTest() override {
        m_Singletons.Now();
        unsetenv("KOLVAR_SHELL_LOG");
    }
    void SetScores(std::initializer_list<int> scores) {
        int i = 0;
        for (int s : scores) m_table->m_entries[i++].score = s;
    }

    testutil::TempDir m_dir;
    testutil::ScopedCwd m_cwd;
    enginescope::Sweep m_Singletons;
    CHighscores* m_table;
};

TEST_F(HighscoresTest, ScoresTakeTheFirstPlaceTheyReach) {
    EXPECT_STREQ(m_table->m_entries[9].name, "Empty");
    EXPECT_EQ(m_table->AddScore(-1), -1);
    EXPECT_EQ(m_table->AddScore(0), 0);
    EXPECT_STREQ(m_table->m_entries[0].name, "");

    SetScores({900, 800, 700, 600, 500, 400, 300, 200, 100, 50});
    strcpy(m_table->m_entries[3].name, "Bob");
    EXPECT_EQ(m_table->AddScore(600), 3);
    EXPECT_EQ(m_table->m_entries[4].score, 600);
    EXPECT_STREQ(m_table->m_entries[4].name, "Bob");
    EXPECT_EQ(m_table->m_entries[9].score, 100);
    EXPECT_EQ(m_table->AddScore(100), 9);
    EXPECT_EQ(m_table->AddScore(99), -1);
}

TEST_F(HighscoresTest, SavedFileIsTenEntriesOfNameBytesAndLittleEndianScore) {
    strcpy(m_table->m_entries[1].name, "Ann");
    m_table->m_entries[1].score = 0x01020304;
    m_table->m_entries[2].score = -5;
    m_table->Save();
    std::string bytes = testutil::ReadFile(m_dir.file("highscores.dat"));
    ASSERT_EQ(bytes.size(), 2600u);
    EXPECT_EQ(bytes.substr(260, 4), std::string("Ann\0", 4));
    EXPECT_EQ(bytes.substr(260 + 256, 4), std::string("\x04\x03\x02\x01", 4));
    EXPECT_EQ(bytes.substr(520 + 256, 4), std::string("\xfb\xff\xff\xff", 4));

    m_table->Clear();
    m_table->Load();
    EXPECT_STREQ(m_table->m_entries[1].name, "Ann");
    EXPECT_EQ(m_table->m_entries[2].score, -5);
}

TEST_F(HighscoresTest, BadFilesLeaveAUsableTable) {
    // Too short: an empty table and both red lines.
    testutil::WriteFile(m_dir.file("highscores.dat"), std::string(2599, 'x'));
    strcpy(m_table->m_entries[0].name, "Kept?");
    testutil::LogTail tail;
    m_table->Load();
    EXPECT_STREQ(m_table->m_entries[0].name, "Empty");
    std::string log = tail.Text();
    EXPECT_NE(log.find("something wrong while read highscore file: highscores.dat"), std::string::npos) << log;
    EXPECT_NE(log.find("highscores is empty now"), std::string::npos);

    // Missing: logged, the table stays as it was.
    remove(m_dir.file("highscores.dat").c_str());
    strcpy(m_table->m_entries[0].name, "Kept");
    tail.Mark();
    m_table->Load();
    EXPECT_STREQ(m_table->m_entries[0].name, "Kept");
    EXPECT_NE(tail.Text().find("couldn't open highscores file"), std::string::npos);
}

// A stored table: place i named names[i] (NUL-terminated) with scores[i].
std::string StoredTable(const char* const names[10], const int scores[10]) {
    std::string bytes;
    for (int i = 0; i < 10; ++i) {
        std::string name(names[i]);
        name.resize(256, '\0');
        bytes += name;
        for (int b = 0; b < 4; ++b) bytes += char((uint32_t(scores[i]) >> (8 * b)) & 0xff);
    }
    return bytes;
}

TEST_F(HighscoresTest, DamagedFilesAreReadDefensivelyAndKeptAside) {
    const char* const names[10] = {"Low", "High", "Neg", "Bell\a", "P5", "P6", "P7", "P8", "P9", "P10"};
    const int scores[10] = {5, 100, -7, 3, 2, 1, 0, 0, 0, 0};
    const std::string good = StoredTable(names, scores);
    std::string unterminated = good;
    unterminated.replace(4 * 260, 256, std::string(256, 'x'));  // place 5: no end to its name
    struct Case {
        const char* name;
        std::string bytes;
        const char* place5;  // the name place 5 reads as
        bool keptAside;      // written to highscores.dat.bad by the first save
        const char* logLine;
    } cases[] = {
        {"exact", good, "P5", false, "Loading highscores file complete"},
        {"unterminated", unterminated, "Empty", true, "highscores place 5 has a name without its end: made Empty"},
        {"short", good.substr(0, 2599), "Empty", true, "something wrong while read highscore file"},
        {"long", good + "tail", "P5", true, "Loading highscores file complete"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        remove(m_dir.file("highscores.dat.bad").c_str());
        testutil::WriteFile(m_dir.file("highscores.dat"), c.bytes);
        const testutil::LogTail tail;
        m_table->Load();
        EXPECT_NE(tail.Text().find(c.logLine), std::string::npos) << tail.Text();
        EXPECT_STREQ(m_table->m_entries[4].name, c.place5);
        if (std::string(c.place5) == "Empty") {
            EXPECT_EQ(m_table->m_entries[4].score, 0);
        }
        if (c.bytes.size() >= 2600) {
            // Stored order, negative scores and control characters as they were.
            EXPECT_EQ(m_table->m_entries[0].score, 5);
            EXPECT_EQ(m_table->m_entries[1].score, 100);
            EXPECT_EQ(m_table->m_entries[2].score, -7);
            EXPECT_STREQ(m_table->m_entries[3].name, "Bell\a");
        }
        m_table->Save();
        m_table->Save();
        EXPECT_EQ(testutil::FileExists(m_dir.file("highscores.dat.bad")), c.keptAside);
        if (c.keptAside) {
            EXPECT_EQ(testutil::ReadFile(m_dir.file("highscores.dat.bad")), c.bytes);
        }
        EXPECT_EQ(testutil::ReadFile(m_dir.file("highscores.dat")).size(), 2600u);
    }
}

TEST_F(HighscoresTest, AFailedSaveKeepsTheOldFileAndTheTable) {
    m_table->m_entries[0].score = 10;
    m_table->Save();
    const std::string old = testutil::ReadFile(m_dir.file("highscores.dat"));
    m_table->m_entries[0].score = 20;
    // A read-only file stops the save even for root, as it would on Windows.
    chmod(m_dir.file("highscores.dat").c_str(), 0444);
    const testutil::LogTail tail;
    m_table->Save();
    EXPECT_NE(tail.Text().find("couldn't open/create highscores file"), std::string::npos);
    EXPECT_EQ(testutil::ReadFile(m_dir.file("highscores.dat")), old);
    EXPECT_EQ(m_table->m_entries[0].score, 20);
}

TEST_F(HighscoresTest, OnlinePageCarriesTheStoredTable) {
    setenv("KOLVAR_SHELL_LOG", m_dir.file("shell.log").c_str(), 1);
    m_table->Save();              // ten "Empty" entries on disk
    m_table->AddScore(77);        // not saved: the page must not show it
    m_table->GotoOnlineScores();

    std::string page = testutil::ReadFile(m_dir.file("online_scores.html"));
    const std::string head =
        "<body style=\"display:none\" onload=\"document.forms(0).submit();\">\r\n"
        "<form action=\"http://scores.example.invalid/post\" method=\"POST\">\r\n"
        "<input type=hidden name=Data value = \"";
    const std::string tail = "\">\r\n</form></body>";
    ASSERT_EQ(page.compare(0, head.size(), head), 0) << page;
    ASSERT_GT(page.size(), head.size() + tail.size());
    EXPECT_EQ(page.substr(page.size() - tail.size()), tail);
    std::string data = page.substr(head.size(), page.size() - head.size() - tail.size());
    EXPECT_EQ(data.size(), 108u);
    EXPECT_EQ(data.substr(0, 12), "FT1AREnaANoV");
    EXPECT_EQ(data.substr(data.size() - 4), "ANo=");
    EXPECT_EQ(m_table->m_entries[0].score, 0) << "the table is reloaded from disk";

    std::string shell = testutil::ReadFile(m_dir.file("shell.log"));
    EXPECT_EQ(shell.rfind("open\tonline_scores.html\t", 0), 0u) << shell;
    EXPECT_EQ(shell.substr(shell.size() - 3), "\t0\n") << shell;
}

TEST_F(HighscoresTest, NegativeScoresAreShiftedByteForByte) {
    m_table->m_entries[0].score = -5;
    strcpy(m_table->m_entries[0].name, "");
    // "\n-5\n" less 0x30 starts DA FD 05, which Base64 writes "2v0F".
    EXPECT_EQ(m_table->EncodeOnlineData().substr(0, 4), "2v0F");
}

TEST_F(HighscoresTest, NoServerAddressOpensNothing) {
    testutil::WriteFile(m_dir.file("config.ini"), "[highscores]\r\nonline_scores_html=online_scores.html\r\n");
    setenv("KOLVAR_SHELL_LOG", m_dir.file("shell.log").c_str(), 1);
    m_table->GotoOnlineScores();
    EXPECT_FALSE(testutil::FileExists(m_dir.file("online_scores.html")));
    EXPECT_FALSE(testutil::FileExists(m_dir.file("shell.log")));
}

// Control characters stay in the stored name but are not drawn on the page.
TEST_F(HighscoresTest, ThePageSkipsControlCharactersOfNames) {
    MenuTextStyle style{};
    CMenuText name(nullptr, &style, &style, "", nullptr, true, nullptr, false);
    CMenuText score(nullptr, &style, &style, "", nullptr, true, nullptr, false);
    g_HighscoreNames[0] = &name;
    g_HighscoreScores[0] = &score;
    strcpy(m_table->m_entries[0].name, "A\tn\x7fn\x01!");
    m_table->m_entries[0].score = -3;
    RefreshHighscoresPage();
    g_HighscoreNames[0] = g_HighscoreScores[0] = nullptr;
    EXPECT_STREQ(name.GetText(), "Ann!");
    EXPECT_STREQ(score.GetText(), "-3");
    EXPECT_STREQ(m_table->m_entries[0].name, "A\tn\x7fn\x01!");
}

}  // namespace
