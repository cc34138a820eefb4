// The playlist half of the setup dialog: the song list edited beside list box
// 1017, entry i of the box always standing for song i; playlist.ini on disk.
#include "SetupDialog.h"

#include "audio/MusicPlayer.h"
#include "audio/SoundEngine.h"
#include "engine/Ini.h"
#include "engine/Log.h"

#include <commdlg.h>
#include <winuser.h>

#include <cstdio>
#include <utility>

std::vector<std::string> g_SongList;

namespace {

const char* const kPlaylist = "playlist.ini";
const int kEntryText = 255;

// Reads entry i of the list box; false when it is not there or too long for the buffer.
bool EntryText(HWND list, LRESULT i, char (&text)[kEntryText + 1]) {
    LRESULT length = SendMessageA(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
    if (length == LB_ERR || length > kEntryText) return false;
    return SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text)) != LB_ERR;
}

void AddEntry(HWND list, const std::string& path) {
    std::string name = SetupDlg_SplitPath(path);
    if (name.size() > kEntryText) name.resize(kEntryText);
    SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    g_SongList.push_back(path);
}

void DropPreview(CSoundEngine* engine) {
    if (!engine->m_musicPlayer) return;
    engine->m_musicPlayer->Stop();
    delete engine->m_musicPlayer;
    engine->m_musicPlayer = nullptr;
}

}  // namespace

std::string SetupDlg_SplitPath(const std::string& path) {
    size_t cut = path.find_last_of("\\/");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

void SetupDlg_LoadPlaylist(HWND list) {
    SetupDlg_RemoveAllSongs(list);
    int n = CMusicPlayer::SongCount(kPlaylist);
    char key[32];
    for (int i = 1; i <= n; ++i) {
        snprintf(key, sizeof key, "song%d", i);
        AddEntry(list, ReadIniString(kPlaylist, "playlist", key));
    }
}

void SetupDlg_SavePlaylist() {
    WriteIniInt(kPlaylist, "playlist", "num", static_cast<int>(g_SongList.size()));
    if (g_SongList.empty()) return;
    WriteIniInt(kPlaylist, "playlist", "current", 1);
    char key[32];
    for (size_t i = 0; i < g_SongList.size(); ++i) {
        snprintf(key, sizeof key, "song%d", static_cast<int>(i + 1));
        WriteIniString(kPlaylist, "playlist", key, g_SongList[i]);
    }
}

void SetupDlg_AddSongs(HWND dialog, HWND list) {
    char folder[4096];
    const DWORD folderLength = GetCurrentDirectoryA(sizeof folder, folder);
    const bool haveFolder = folderLength > 0 && folderLength < sizeof folder;
    char file[kEntryText] = {0};
    char title[kEntryText] = {0};
    OPENFILENAMEA ofn;
    memset(&ofn, 0, sizeof ofn);
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = dialog;
    ofn.lpstrFilter =
        "Common music file\0*.mid;*.mo3;*.it;*.xm;*.s3m;*.mtm;*.mod;*.umx;*.mp3;*.mp2;*.mp1;*.ogg;*.wav\0"
        "Midi File (*.mid)\0*.mid\0"
        "Mod  File (*.mo3;*.it;*.xm;*.s3m;*.mtm;*.mod;*.umx)\0*.mo3;*.it;*.xm;*.s3m;*.mtm;*.mod;*.umx\0"
        "Stream File (*.mp3;*.mp2;*.mp1;*.ogg;*.wav)\0*.mp3;*.mp2;*.mp1;*.ogg;*.wav\0";
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file;
    ofn.nMaxFile = sizeof file;
    ofn.lpstrFileTitle = title;
    ofn.nMaxFileTitle = sizeof title;
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY | OFN_EXPLORER;
    ofn.lpstrDefExt = "MID";
    if (!GetOpenFileNameA(&ofn)) {
        if (CommDlgExtendedError() == FNERR_BUFFERTOOSMALL)
            g_Log.PrintBold("red", "[SETUP] Error: the chosen file's path is longer than %d characters", kEntryText - 1);
        return;
    }
    if (haveFolder && !SetCurrentDirectoryA(folder)) g_Log.PrintBold("red", "[SETUP] Error: couldn't return to %s", folder);
    SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(title));
    g_SongList.push_back(file);
}

void SetupDlg_RemoveSong(HWND list) {
    LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
    LRESULT s = SendMessageA(list, LB_GETCURSEL, 0, 0);
    if (count == LB_ERR || s == LB_ERR || static_cast<size_t>(s) >= g_SongList.size()) return;
    SendMessageA(list, LB_DELETESTRING, static_cast<WPARAM>(s), 0);
    g_SongList.erase(g_SongList.begin() + s);
    if (count > 1) {
        SetFocus(list);
        SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(s - 1), 0);
    }
}

void SetupDlg_RemoveAllSongs(HWND list) {
    g_SongList.clear();
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
}

void SetupDlg_MoveSongUp(HWND list) {
    LRESULT s = SendMessageA(list, LB_GETCURSEL, 0, 0);
    if (s == LB_ERR || s < 1 || static_cast<size_t>(s) >= g_SongList.size()) return;
    char moved[kEntryText + 1], above[kEntryText + 1];
    if (!EntryText(list, s, moved) || !EntryText(list, s - 1, above)) return;
    SendMessageA(list, LB_DELETESTRING, static_cast<WPARAM>(s), 0);
    SendMessageA(list, LB_INSERTSTRING, static_cast<WPARAM>(s - 1), reinterpret_cast<LPARAM>(moved));
    std::swap(g_SongList[s], g_SongList[s - 1]);
    SetFocus(list);
    SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(s - 1), 0);
}

void SetupDlg_MoveSongDown(HWND list) {
    LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
    LRESULT s = SendMessageA(list, LB_GETCURSEL, 0, 0);
    if (count == LB_ERR || s == LB_ERR || s >= count - 1 || static_cast<size_t>(s + 1) >= g_SongList.size()) return;
    char moved[kEntryText + 1], below[kEntryText + 1];
    if (!EntryText(list, s, moved) || !EntryText(list, s + 1, below)) return;
    SendMessageA(list, LB_DELETESTRING, static_cast<WPARAM>(s), 0);
    SendMessageA(list, LB_INSERTSTRING, static_cast<WPARAM>(s + 1), reinterpret_cast<LPARAM>(moved));
    SetFocus(list);
    std::swap(g_SongList[s], g_SongList[s + 1]);
    SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(s + 1), 0);
}

void SetupDlg_PlaySong(HWND list) {
    LRESULT s = SendMessageA(list, LB_GETCURSEL, 0, 0);
    if (s == LB_ERR || static_cast<size_t>(s) >= g_SongList.size()) return;
    CSoundEngine* engine = CSoundEngine::GetInstance();
    DropPreview(engine);
    engine->m_musicPlayer = new CMusicPlayer();
    engine->m_musicPlayer->LoadSong(g_SongList[s]);
    engine->m_musicPlayer->Play();
}

// Without a sound engine nothing can be playing: no need to load the audio library to stop it.
void SetupDlg_StopSong() {
    if (CSoundEngine::HasInstance()) DropPreview(CSoundEngine::GetInstancePtr());
}
