#pragma once

#include <cstdint>
#include <string>

#include "engine/Singleton.h"

class CMenuText;

// One place of the table as it is stored: the name buffer as in memory, then the score.
struct HighscoreEntry {
    char name[256];
    int32_t score;
};
static_assert(sizeof(HighscoreEntry) == 260, "a stored entry is 260 bytes");

// The ten best scores, kept in config.ini's [highscores] local_scores_file.
class CHighscores : public CSingleton<CHighscores> {
public:
    static const int kPlaces = 10;

    CHighscores();
    ~CHighscores() override;

    void Clear();
    void Load();
    void Save();
    // The place 0..9 the score takes (its name left empty), or -1.
    int AddScore(int32_t score);
    // Writes the page that posts the table to the score server and opens it.
    void GotoOnlineScores();

    // The form data: every entry as name, LF, score, LF; each byte less 0x30; Base64.
    std::string EncodeOnlineData() const;

    HighscoreEntry m_entries[kPlaces];

private:
    // Copies the file last loaded with the wrong size or with a record the
    // reader rejected to "<file>.bad" once; false when that failed and the file
    // must not be overwritten.
    bool KeepBadFileAside(const std::string& target);

    bool m_keepAside = false;
};

// The High scores page's texts, set by whoever builds that page.
extern CMenuText* g_HighscoreNames[CHighscores::kPlaces];
extern CMenuText* g_HighscoreScores[CHighscores::kPlaces];

// Writes the table into the High scores page's twenty texts.
void RefreshHighscoresPage();
