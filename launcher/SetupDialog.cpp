// The setup dialog as a whole and its display half: the mode lists, the stored
// choice and the test that creates a device in the chosen mode.
#include "SetupDialog.h"

#include "Preloader.h"
#include "engine/Log.h"
#include "engine/Settings.h"

#include <dlgtemplate.h>
#include <dxerr9.h>
#include <winuser.h>

#include <algorithm>
#include <cstdio>

std::vector<D3DDISPLAYMODE> g_DisplayModes16;
std::vector<D3DDISPLAYMODE> g_DisplayModes32;
IDirect3D9* g_pSetupD3D = nullptr;

namespace {

using platform::DialogControlClass;

const DWORD kChild = WS_CHILD | WS_VISIBLE;
const DWORD kButton = kChild | WS_TABSTOP | BS_PUSHBUTTON;

const platform::DialogTemplateRegistrar g_SetupTemplate({
    kSetupDialog,
    "Setup",
    WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER | DS_SETFONT,
    244,
    195,
    "MS Shell Dlg",
    8,
    {
        {DialogControlClass::Button, -1, "Video options", kChild | BS_GROUPBOX, 5, 7, 232, 41},
        {DialogControlClass::Static, -1, "Mode:", kChild | SS_LEFT, 24, 17, 25, 16},
        {DialogControlClass::ComboBox, kSetupMode, "", kChild | WS_TABSTOP | CBS_DROPDOWNLIST | WS_VSCROLL, 62, 21, 100, 30},
        {DialogControlClass::Button, kSetupFullScreen, "Full screen", kChild | WS_TABSTOP | BS_AUTOCHECKBOX, 112, 35, 50, 10},
        {DialogControlClass::Button, kSetupTest, "Test", kButton, 172, 19, 56, 14},
        {DialogControlClass::Button, -1, "User Playlist", kChild | BS_GROUPBOX, 5, 57, 232, 115},
        {DialogControlClass::ListBox, kSetupSongs, "", kChild | WS_TABSTOP | LBS_NOTIFY | WS_VSCROLL | WS_BORDER, 63, 67, 99, 97},
        {DialogControlClass::Button, kSetupUp, "Up", kButton, 24, 75, 25, 15},
        {DialogControlClass::Button, kSetupDown, "Down", kButton, 24, 93, 25, 15},
        {DialogControlClass::Button, kSetupAdd, "Add", kButton, 172, 78, 56, 15},
        {DialogControlClass::Button, kSetupRemove, "Remove", kButton, 172, 96, 56, 15},
        {DialogControlClass::Button, kSetupRemoveAll, "Remove All", kButton, 172, 128, 56, 15},
        {DialogControlClass::Button, kSetupPlay, "Play", kButton, 17, 126, 39, 15},
        {DialogControlClass::Button, kSetupStop, "Stop", kButton, 17, 144, 39, 15},
        {DialogControlClass::Button, kSetupClose, "Close", kChild | WS_TABSTOP | BS_DEFPUSHBUTTON, 96, 175, 50, 14},
    },
});

void CollectModes(IDirect3D9* d3d, D3DFORMAT format, std::vector<D3DDISPLAYMODE>& list) {
    UINT count = d3d->GetAdapterModeCount(D3DADAPTER_DEFAULT, format);
    for (UINT i = 0; i < count; ++i) {
        D3DDISPLAYMODE mode;
        if (FAILED(d3d->EnumAdapterModes(D3DADAPTER_DEFAULT, format, i, &mode))) continue;
        if (mode.Width < 640 || mode.Height < 480) continue;
        auto same = std::find_if(list.begin(), list.end(), [&](const D3DDISPLAYMODE& m) {
            return m.Width == mode.Width && m.Height == mode.Height;
        });
        if (same == list.end())
            list.push_back(mode);
        else if (same->RefreshRate <= mode.RefreshRate)
            *same = mode;
    }
}

void LogModes(const std::vector<D3DDISPLAYMODE>& list, int bits) {
    g_Log.PrintBold("gray", "[SETUP] found %d modes for %d bits", static_cast<int>(list.size()), bits);
    for (size_t i = 0; i < list.size(); ++i)
        g_Log.Print("gray", "[SETUP] %d) %dx%dx%d,%d Hz", static_cast<int>(i), static_cast<int>(list[i].Width),
                    static_cast<int>(list[i].Height), bits, static_cast<int>(list[i].RefreshRate));
}

// Everything the test made, released on every way out.
bool FinishTest(IDirect3DDevice9* device, HWND window, bool ok) {
    if (device) device->Release();
    if (window) DestroyWindow(window);
    SetupDlg_ReleaseD3D9();
    if (ok) g_Log.PrintBold("green", "[SETUP] Test mode complete");
    return ok;
}

void InitDialog(HWND dialog) {
    SetupDlg_LoadPlaylist(GetDlgItem(dialog, kSetupSongs));
    SetupDlg_EnumDisplayModes();
    char text[64];
    for (const D3DDISPLAYMODE& m : g_DisplayModes16) {
        snprintf(text, sizeof text, "%dx%dx16", static_cast<int>(m.Width), static_cast<int>(m.Height));
        SendDlgItemMessageA(dialog, kSetupMode, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    }
    for (const D3DDISPLAYMODE& m : g_DisplayModes32) {
        snprintf(text, sizeof text, "%dx%dx32", static_cast<int>(m.Width), static_cast<int>(m.Height));
        SendDlgItemMessageA(dialog, kSetupMode, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    }
    SetupDlg_LoadVideoSettings(GetDlgItem(dialog, kSetupMode), GetDlgItem(dialog, kSetupFullScreen));
    SetupDlg_EnableControls(dialog);
}

}  // namespace

void SetupDlg_CreateD3D9() {
    g_Log.Print("blue", "[SETUP] Creating Direct3D9 object");
    g_pSetupD3D = Direct3DCreate9(D3D_SDK_VERSION);
    if (g_pSetupD3D)
        g_Log.Print("green", "[SETUP] complete");
    else
        g_Log.PrintBold("red", "[SETUP] Error: Creating Direct3D9 object FAILED !");
}

void SetupDlg_ReleaseD3D9() {
    g_Log.Print("blue", "[SETUP] Release Direct3D9 object");
    if (g_pSetupD3D) g_pSetupD3D->Release();
    g_pSetupD3D = nullptr;
}

bool CompareDisplayModes(const D3DDISPLAYMODE& a, const D3DDISPLAYMODE& b) {
    return a.Width < b.Width || (a.Width == b.Width && a.Height < b.Height);
}

void SetupDlg_EnumDisplayModes() {
    SetupDlg_CreateD3D9();
    std::vector<D3DDISPLAYMODE>().swap(g_DisplayModes16);
    std::vector<D3DDISPLAYMODE>().swap(g_DisplayModes32);
    // Without the object the lists stay empty; the failure is in the log.
    if (g_pSetupD3D) {
        CollectModes(g_pSetupD3D, D3DFMT_X8R8G8B8, g_DisplayModes32);
        CollectModes(g_pSetupD3D, D3DFMT_R5G6B5, g_DisplayModes16);
    }
    std::sort(g_DisplayModes16.begin(), g_DisplayModes16.end(), CompareDisplayModes);
    std::sort(g_DisplayModes32.begin(), g_DisplayModes32.end(), CompareDisplayModes);
    LogModes(g_DisplayModes16, 16);
    LogModes(g_DisplayModes32, 32);
    SetupDlg_ReleaseD3D9();
}

std::vector<D3DDISPLAYMODE> DisplayModesOfDepth(int bits) {
    std::vector<D3DDISPLAYMODE> modes;
    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    if (!d3d) return modes;
    CollectModes(d3d, bits == 16 ? D3DFMT_R5G6B5 : D3DFMT_X8R8G8B8, modes);
    d3d->Release();
    std::sort(modes.begin(), modes.end(), CompareDisplayModes);
    return modes;
}

void SetupDlg_LoadVideoSettings(HWND modeCombo, HWND fullScreenBox) {
    UINT width = static_cast<UINT>(settings::ReadInt(settings::Id::ScreenW));
    UINT height = static_cast<UINT>(settings::ReadInt(settings::Id::ScreenH));
    int bits = settings::ReadInt(settings::Id::Bits);
    int fullScreen = settings::ReadInt(settings::Id::Fullscreen);
    auto find = [&](const std::vector<D3DDISPLAYMODE>& list) {
        for (size_t i = 0; i < list.size(); ++i)
            if (list[i].Width == width && list[i].Height == height) return static_cast<int>(i);
        return -1;
    };
    int index = 0;
    if (bits == 16 && find(g_DisplayModes16) >= 0) index = find(g_DisplayModes16);
    if (bits == 32 && find(g_DisplayModes32) >= 0) index = find(g_DisplayModes32) + static_cast<int>(g_DisplayModes16.size());
    SendMessageA(modeCombo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageA(fullScreenBox, BM_SETCHECK, fullScreen == 1 ? BST_CHECKED : BST_UNCHECKED, 0);
}

void SetupDlg_SaveVideoSettings(HWND modeCombo, HWND fullScreenBox) {
    LRESULT selection = SendMessageA(modeCombo, CB_GETCURSEL, 0, 0);
    size_t count16 = g_DisplayModes16.size();
    if (selection != CB_ERR && selection >= 0 && static_cast<size_t>(selection) < count16 + g_DisplayModes32.size()) {
        size_t i = static_cast<size_t>(selection);
        const D3DDISPLAYMODE& m = i < count16 ? g_DisplayModes16[i] : g_DisplayModes32[i - count16];
        settings::WriteInt(settings::Id::ScreenW, static_cast<int>(m.Width));
        settings::WriteInt(settings::Id::ScreenH, static_cast<int>(m.Height));
        settings::WriteInt(settings::Id::Bits, i < count16 ? 16 : 32);
    }
    bool checked = SendMessageA(fullScreenBox, BM_GETCHECK, 0, 0) == BST_CHECKED;
    settings::WriteInt(settings::Id::Fullscreen, checked ? 1 : 0);
}

bool SetupDlg_RunTestMode() {
    g_Log.PrintBold("blue", "[SETUP] Test mode started");
    SetupDlg_CreateD3D9();
    g_Log.Print("blue", "[SETUP] Creating test window");
    if (!g_pSetupD3D) return FinishTest(nullptr, nullptr, false);

    WNDCLASSA wc;
    memset(&wc, 0, sizeof wc);
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = g_hPreloaderInstance;
    wc.hIcon = LoadIconA(g_hPreloaderInstance, MAKEINTRESOURCEA(113));
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszMenuName = "test";
    wc.lpszClassName = "test";
    RegisterClassA(&wc);  // a second registration fails and the first class serves

    bool windowed = settings::ReadInt(settings::Id::Fullscreen) == 0;
    int width = settings::ReadInt(settings::Id::ScreenW);
    int height = settings::ReadInt(settings::Id::ScreenH);
    int bits = settings::ReadInt(settings::Id::Bits);
    RECT rect;
    DWORD style;
    if (windowed) {
        int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
        int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
        rect = {x, y, x + width, y + height};
        style = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX;
    } else {
        rect = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
        style = WS_POPUP | WS_VISIBLE | WS_SYSMENU;
    }
    AdjustWindowRectEx(&rect, style, FALSE, 0);
    HWND window = CreateWindowExA(0, "test", "test", style, rect.left, rect.top, rect.right - rect.left,
                                  rect.bottom - rect.top, nullptr, nullptr, g_hPreloaderInstance, nullptr);
    if (!window) {
        g_Log.PrintBold("red", "[SETUP] Error, couldn't create main window !");
        return FinishTest(nullptr, nullptr, false);
    }
    ShowWindow(window, SW_SHOWNORMAL);
    SetFocus(window);

    D3DPRESENT_PARAMETERS pp;
    memset(&pp, 0, sizeof pp);
    pp.EnableAutoDepthStencil = TRUE;
    pp.AutoDepthStencilFormat = D3DFMT_D16;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.Windowed = windowed ? TRUE : FALSE;
    pp.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    if (!windowed) {
        pp.BackBufferWidth = static_cast<UINT>(width);
        pp.BackBufferHeight = static_cast<UINT>(height);
        pp.BackBufferFormat = bits == 32 ? D3DFMT_X8R8G8B8 : D3DFMT_R5G6B5;
    }

    g_Log.Print("blue", "[SETUP] Creating device");
    g_Log.Print("gray", "[SETUP] trying create hardware vertex processing device...");
    IDirect3DDevice9* device = nullptr;
    HRESULT hr = g_pSetupD3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window,
                                           D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &device);
    if (FAILED(hr)) {
        g_Log.PrintBold("red", "[SETUP] failed... code: %s", GetDxErrorString(hr));
        g_Log.Print("gray", "[SETUP] then trying software...");
        device = nullptr;
    } else {
        D3DCAPS9 caps;
        memset(&caps, 0, sizeof caps);
        device->GetDeviceCaps(&caps);
        if (caps.VertexShaderVersion >= D3DVS_VERSION(1, 1) && caps.PixelShaderVersion >= D3DVS_VERSION(1, 1))
            return FinishTest(device, window, true);
        device->Release();
        device = nullptr;
        g_Log.PrintBold("red", "[SETUP] NOTE: hardware shaders does not supported , trying software shaders");
    }
    hr = g_pSetupD3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window, D3DCREATE_SOFTWARE_VERTEXPROCESSING,
                                   &pp, &device);
    if (FAILED(hr)) {
        g_Log.PrintBold("red", "[SETUP] Error: Creating device FAILED ! code:  %s", GetDxErrorString(hr));
        return FinishTest(nullptr, window, false);
    }
    g_Log.Print("gray", "[SETUP] ok...");
    return FinishTest(device, window, true);
}

void SetupDlg_EnableControls(HWND dialog) {
    size_t n = g_SongList.size();
    LRESULT s = SendDlgItemMessageA(dialog, kSetupSongs, LB_GETCURSEL, 0, 0);
    bool selected = n > 0 && s != LB_ERR;
    EnableWindow(GetDlgItem(dialog, kSetupAdd), TRUE);
    EnableWindow(GetDlgItem(dialog, kSetupRemoveAll), n > 0);
    EnableWindow(GetDlgItem(dialog, kSetupPlay), selected);
    EnableWindow(GetDlgItem(dialog, kSetupRemove), selected);
    EnableWindow(GetDlgItem(dialog, kSetupStop), selected);
    EnableWindow(GetDlgItem(dialog, kSetupUp), selected && s > 0);
    EnableWindow(GetDlgItem(dialog, kSetupDown), selected && static_cast<size_t>(s) + 1 < n);
}

INT_PTR CALLBACK SetupDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    HWND list = GetDlgItem(dialog, kSetupSongs);
    switch (message) {
        case WM_INITDIALOG:
            InitDialog(dialog);
            return TRUE;
        case WM_COMMAND:
            SetupDlg_EnableControls(dialog);
            switch (LOWORD(wParam)) {
                case kSetupAdd: SetupDlg_AddSongs(dialog, list); break;
                case kSetupRemove: SetupDlg_RemoveSong(list); break;
                case kSetupRemoveAll: SetupDlg_RemoveAllSongs(list); break;
                case kSetupUp: SetupDlg_MoveSongUp(list); break;
                case kSetupDown: SetupDlg_MoveSongDown(list); break;
                case kSetupPlay: SetupDlg_PlaySong(list); break;
                case kSetupStop: SetupDlg_StopSong(); break;
                case kSetupTest:
                    SetupDlg_SaveVideoSettings(GetDlgItem(dialog, kSetupMode), GetDlgItem(dialog, kSetupFullScreen));
                    if (SetupDlg_RunTestMode())
                        MessageBoxA(nullptr, "Test successfully completed", "Ok !", MB_OK);
                    else
                        MessageBoxA(nullptr, "Test failed.\n See log.html for details", "Error !", MB_OK | MB_ICONERROR);
                    break;
                case kSetupClose: SendMessageA(dialog, WM_CLOSE, 0, 0); return TRUE;
                default: return TRUE;
            }
            SetupDlg_EnableControls(dialog);
            return TRUE;
        case WM_CLOSE:
            SetupDlg_StopSong();
            SetupDlg_SaveVideoSettings(GetDlgItem(dialog, kSetupMode), GetDlgItem(dialog, kSetupFullScreen));
            SetupDlg_SavePlaylist();
            EndDialog(dialog, 0);
            return FALSE;
        default: return FALSE;
    }
}
