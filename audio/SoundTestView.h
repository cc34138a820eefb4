#pragma once

#include <win32.h>

#include <map>
#include <string>
#include <vector>

// What the sound engine was asked to play and stop, in order, so tests can
// check what was heard. Only one view listens at a time; the newest wins and
// the one before it listens again when the newest goes.
class CSoundTestView {
public:
    enum Kind { kPlay, kStop };
    struct Call {
        Kind kind;
        std::string name;  // the name it was loaded under; empty for an unknown handle
        int category;      // -1 for a stop
        float volume;      // category volume times the factor; 0 for a stop
    };

    CSoundTestView();
    ~CSoundTestView();
    CSoundTestView(const CSoundTestView&) = delete;
    CSoundTestView& operator=(const CSoundTestView&) = delete;

    const std::vector<Call>& Calls() const { return m_calls; }
    // Names of the play calls, in order.
    std::vector<std::string> Played() const;
    void Clear() { m_calls.clear(); }

    // Called by the sound engine.
    static void OnPlay(const std::string& name, DWORD channel, int category, float volume);
    static void OnStop(DWORD handle, const std::string& loadedName);

private:
    std::vector<Call> m_calls;
    // Channels that plays returned, so a stop by channel is named too.
    std::map<DWORD, std::string> m_channels;
    CSoundTestView* m_previous;
};
