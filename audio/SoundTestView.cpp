#include "audio/SoundTestView.h"

namespace {
CSoundTestView* g_ActiveView = nullptr;
}

CSoundTestView::CSoundTestView() : m_previous(g_ActiveView) { g_ActiveView = this; }

CSoundTestView::~CSoundTestView() {
    if (g_ActiveView == this) g_ActiveView = m_previous;
}

std::vector<std::string> CSoundTestView::Played() const {
    std::vector<std::string> names;
    for (const Call& c : m_calls)
        if (c.kind == kPlay) names.push_back(c.name);
    return names;
}

void CSoundTestView::OnPlay(const std::string& name, DWORD channel, int category, float volume) {
    if (!g_ActiveView) return;
    g_ActiveView->m_calls.push_back(Call{kPlay, name, category, volume});
    if (channel) g_ActiveView->m_channels[channel] = name;
}

void CSoundTestView::OnStop(DWORD handle, const std::string& loadedName) {
    if (!g_ActiveView) return;
    std::string name = loadedName;
    if (name.empty()) {
        auto it = g_ActiveView->m_channels.find(handle);
        if (it != g_ActiveView->m_channels.end()) name = it->second;
    }
    g_ActiveView->m_calls.push_back(Call{kStop, name, -1, 0.0f});
}
