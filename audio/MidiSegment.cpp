#include "audio/MidiSegment.h"

namespace {
DWORD g_NextMidiHandle = 0;
}

CMidiSegment::CMidiSegment(IDirectMusicPerformance8* performance, IDirectMusicLoader8* loader,
                           IDirectMusicSegment8* segment)
    : m_segment(segment), m_loader(loader), m_performance(performance), m_ownAudioPath(nullptr), m_downloaded(false) {
    if (++g_NextMidiHandle == 0) ++g_NextMidiHandle;
    m_handle = g_NextMidiHandle;
    IUnknown* config = nullptr;
    if (m_segment && m_performance && SUCCEEDED(m_segment->GetAudioPathConfig(&config)) && config) {
        m_performance->CreateAudioPath(config, TRUE, &m_ownAudioPath);
        config->Release();
    }
}

CMidiSegment::~CMidiSegment() {
    if (m_segment) {
        if (m_loader) m_loader->ReleaseObjectByUnknown(m_segment);
        if (m_downloaded) {
            if (m_ownAudioPath)
                m_segment->Unload(m_ownAudioPath);
            else if (m_performance)
                m_segment->Unload(m_performance);
        }
    }
    if (m_ownAudioPath) m_ownAudioPath->Release();
    if (m_segment) m_segment->Release();
}

HRESULT CMidiSegment::Play(DWORD flags, IDirectMusicAudioPath8* audioPath) {
    if (!m_segment || !m_performance) return CO_E_NOTINITIALIZED;
    if (!m_downloaded) return E_FAIL;
    IDirectMusicAudioPath8* path = audioPath ? audioPath : m_ownAudioPath;
    return m_performance->PlaySegmentEx(m_segment, nullptr, nullptr, flags, 0, nullptr, nullptr, path);
}

HRESULT CMidiSegment::IsPlaying() {
    if (!m_segment || !m_performance) return CO_E_NOTINITIALIZED;
    return m_performance->IsPlaying(m_segment, nullptr);
}
