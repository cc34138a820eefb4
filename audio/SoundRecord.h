#pragma once

#include <win32.h>

#include <string>

// One sound loaded while the sound list records (a theme's sounds), so that
// UnloadAll can free them together.
class CSoundRecord {
public:
    enum Kind : DWORD { kSample = 0, kStream = 1, kModMusic = 2, kMidiSegment = 3 };

    CSoundRecord(DWORD kind, DWORD handle, const std::string& name) : m_kind(kind), m_handle(handle), m_name(name) {}

    DWORD m_kind;
    // The library's handle; for a MIDI segment its 32-bit id.
    DWORD m_handle;
    // The file as it was loaded.
    std::string m_name;
};
