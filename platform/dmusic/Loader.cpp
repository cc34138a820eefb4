#include "Objects.h"
#include "platform.h"
#include "win32.h"

namespace dmusic {

namespace {

// A name with a character the game's code page lacks cannot name a file.
bool WideToNarrow(const WCHAR* text, std::string& out) {
    out.clear();
    int n = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return false;
    std::string buffer(static_cast<size_t>(n), '\0');
    BOOL usedDefault = FALSE;
    if (WideCharToMultiByte(CP_ACP, 0, text, -1, &buffer[0], n, nullptr, &usedDefault) != n || usedDefault)
        return false;
    buffer.resize(static_cast<size_t>(n - 1));
    out = buffer;
    return true;
}

bool IsRooted(const std::string& path) {
    if (path.size() >= 2 && path[1] == ':') return true;
    return !path.empty() && (path[0] == '\\' || path[0] == '/');
}

}  // namespace

Loader::~Loader() { ClearCache(); }

void Loader::ClearCache() {
    for (auto& entry : m_cache) entry.second->Release();
    m_cache.clear();
}

HRESULT Loader::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDirectMusicLoader8) {
        *object = static_cast<IDirectMusicLoader8*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

HRESULT Loader::SetSearchDirectory(REFGUID objectClass, const WCHAR* path, BOOL clear) {
    if (!path) return E_POINTER;
    if (objectClass != GUID_DirectMusicAllTypes && objectClass != CLSID_DirectMusicSegment)
        return DMUS_E_TYPE_UNSUPPORTED;
    std::string narrow;
    if (!WideToNarrow(path, narrow) || !platform::HostExists(platform::HostPath(narrow.c_str())))
        return DMUS_E_LOADER_BADPATH;
    if (clear) ClearCache();
    m_searchDirectory = narrow;
    return S_OK;
}

HRESULT Loader::ReleaseObjectByUnknown(IUnknown* object) {
    if (!object) return E_POINTER;
    for (auto it = m_cache.begin(); it != m_cache.end(); ++it) {
        if (static_cast<IUnknown*>(it->second) == object) {
            it->second->Release();
            m_cache.erase(it);
            return S_OK;
        }
    }
    return S_FALSE;
}

HRESULT Loader::LoadObjectFromFile(REFCLSID classId, REFIID iid, const WCHAR* fileName, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (!fileName) return E_POINTER;
    if (classId != CLSID_DirectMusicSegment) return DMUS_E_TYPE_UNSUPPORTED;
    std::string name;
    if (!WideToNarrow(fileName, name) || name.empty()) return DMUS_E_LOADER_BADPATH;
    if (!IsRooted(name) && !m_searchDirectory.empty()) name = m_searchDirectory + "\\" + name;
    std::string host = platform::HostPath(name.c_str());

    auto cached = m_cache.find(host);
    if (cached != m_cache.end()) return cached->second->QueryInterface(iid, object);

    std::string bytes;
    if (!platform::ReadWholeFile(host, bytes)) return DMUS_E_LOADER_FAILEDOPEN;
    auto song = std::make_shared<MidiSong>();
    std::string error;
    if (!ParseMidiFile(bytes, *song, error)) return DMUS_E_UNSUPPORTED_STREAM;

    Segment* segment = new Segment(song);
    HRESULT hr = segment->QueryInterface(iid, object);
    if (FAILED(hr)) {
        segment->Release();
        return hr;
    }
    m_cache[host] = segment;  // keeps the creation reference
    return S_OK;
}

}  // namespace dmusic

using dmusic::Loader;
using dmusic::Performance;

HRESULT DMusicCreateInstance(REFCLSID clsid, REFIID iid, void** object) {
    IUnknown* unknown = nullptr;
    if (clsid == CLSID_DirectMusicLoader)
        unknown = new Loader();
    else if (clsid == CLSID_DirectMusicPerformance)
        unknown = new Performance();
    else
        return REGDB_E_CLASSNOTREG;
    HRESULT hr = unknown->QueryInterface(iid, object);
    unknown->Release();  // the caller's reference is the one QueryInterface added
    return hr;
}
