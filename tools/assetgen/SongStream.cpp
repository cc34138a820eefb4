// A stream song: a slow pad of seventh chords with a bell melody and a
// ping-pong echo, encoded as Ogg Vorbis with a fixed stream serial so the bytes
// are the same on every build.
#include <ogg/ogg.h>
#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "Generators.h"

namespace {

const int kRate = 44100;
const double kPi = 3.14159265358979323846;
const double kChordSeconds = 4.0;

double Hz(int key) { return 440.0 * std::pow(2.0, (key - 69) / 12.0); }

struct Stereo {
    std::vector<float> left, right;
    explicit Stereo(size_t n) : left(n, 0.0f), right(n, 0.0f) {}
};

void Pad(Stereo& out, int key, double start, double length, double pan) {
    size_t from = static_cast<size_t>(start * kRate);
    size_t count = static_cast<size_t>((length + 1.5) * kRate);
    double f = Hz(key);
    for (size_t i = 0; i < count && from + i < out.left.size(); ++i) {
        double t = i / static_cast<double>(kRate);
        double attack = std::min(1.0, t / 0.9);
        double release = t < length ? 1.0 : std::exp(-(t - length) * 3.0);
        double v = 0;
        for (double detune : {-0.004, 0.0, 0.0035})
            v += std::sin(2 * kPi * f * (1 + detune) * t) + 0.18 * std::sin(4 * kPi * f * (1 + detune) * t);
        v *= 0.045 * attack * release;
        out.left[from + i] += static_cast<float>(v * (1 - pan));
        out.right[from + i] += static_cast<float>(v * pan);
    }
}

// Two-operator FM bell: the modulation index fades faster than the tone.
void Bell(Stereo& out, int key, double start, double pan) {
    size_t from = static_cast<size_t>(start * kRate);
    size_t count = static_cast<size_t>(3.0 * kRate);
    double f = Hz(key);
    for (size_t i = 0; i < count && from + i < out.left.size(); ++i) {
        double t = i / static_cast<double>(kRate);
        double index = 1.8 * std::exp(-t * 4.0);
        double v = std::sin(2 * kPi * f * t + index * std::sin(2 * kPi * f * 2.0 * t));
        v *= 0.16 * std::exp(-t * 1.6) * std::min(1.0, t / 0.004);
        out.left[from + i] += static_cast<float>(v * (1 - pan));
        out.right[from + i] += static_cast<float>(v * pan);
    }
}

Stereo Compose() {
    struct Chord {
        int notes[4];
    };
    // Fmaj7, Em7, Dm7, Cmaj7, Fmaj7, G6, Cmaj9
    const std::vector<Chord> chords = {{{53, 57, 60, 64}}, {{52, 55, 59, 62}}, {{50, 53, 57, 60}},
                                       {{48, 55, 59, 64}}, {{53, 57, 60, 64}}, {{55, 59, 62, 64}},
                                       {{48, 55, 62, 64}}};
    const double total = chords.size() * kChordSeconds + 3.0;
    Stereo out(static_cast<size_t>(total * kRate));
    for (size_t c = 0; c < chords.size(); ++c) {
        double at = c * kChordSeconds;
        double length = c + 1 == chords.size() ? kChordSeconds + 1.0 : kChordSeconds;
        for (int n = 0; n < 4; ++n) Pad(out, chords[c].notes[n], at, length, 0.3 + 0.13 * n);
        Pad(out, chords[c].notes[0] - 12, at, length, 0.5);
    }
    struct Note {
        double beat;  // half-second beats
        int key;
    };
    const std::vector<Note> melody = {
        {0, 72}, {1, 76}, {2, 79}, {3, 76}, {4.5, 74}, {5, 76}, {6, 71}, {8, 74}, {9, 77}, {10, 81},
        {11, 79}, {12, 76}, {13.5, 79}, {14, 84}, {16, 81}, {17, 77}, {18, 76}, {19, 72}, {20, 74},
        {21, 77}, {22, 79}, {24, 83}, {25, 81}, {26, 79}, {27, 74}, {28, 76}, {30, 79}, {31, 83},
        {32, 84}, {33.5, 79}, {34, 76}, {36, 72}, {37, 76}, {38, 79}, {39, 84}, {40, 86}, {42, 84}};
    for (size_t i = 0; i < melody.size(); ++i) Bell(out, melody[i].key, melody[i].beat * 0.5, i % 2 ? 0.35 : 0.65);

    // Ping-pong echo at three sixteenths of a 120 bpm beat.
    size_t delay = static_cast<size_t>(0.375 * kRate);
    for (size_t i = delay; i < out.left.size(); ++i) {
        out.left[i] += 0.33f * out.right[i - delay];
        out.right[i] += 0.33f * out.left[i - delay];
    }
    float peak = 1e-6f;
    for (size_t i = 0; i < out.left.size(); ++i) peak = std::max({peak, std::fabs(out.left[i]), std::fabs(out.right[i])});
    size_t fade = static_cast<size_t>(2.5 * kRate);
    for (size_t i = 0; i < out.left.size(); ++i) {
        float g = 0.8f / peak;
        if (i + fade > out.left.size()) g *= static_cast<float>(out.left.size() - i) / fade;
        out.left[i] *= g;
        out.right[i] *= g;
    }
    return out;
}

bool Encode(const Stereo& pcm, const char* title, std::string& bytes) {
    vorbis_info vi;
    vorbis_info_init(&vi);
    if (vorbis_encode_init_vbr(&vi, 2, kRate, 0.4f) != 0) {
        vorbis_info_clear(&vi);
        return false;
    }
    vorbis_comment vc;
    vorbis_comment_init(&vc);
    vorbis_comment_add_tag(&vc, "TITLE", title);
    vorbis_dsp_state vd;
    vorbis_block vb;
    vorbis_analysis_init(&vd, &vi);
    vorbis_block_init(&vd, &vb);
    ogg_stream_state os;
    ogg_stream_init(&os, 0x4B6F6C31);
    ogg_packet header, comments, codebooks;
    vorbis_analysis_headerout(&vd, &vc, &header, &comments, &codebooks);
    ogg_stream_packetin(&os, &header);
    ogg_stream_packetin(&os, &comments);
    ogg_stream_packetin(&os, &codebooks);
    ogg_page page;
    auto append = [&](const ogg_page& p) {
        bytes.append(reinterpret_cast<const char*>(p.header), static_cast<size_t>(p.header_len));
        bytes.append(reinterpret_cast<const char*>(p.body), static_cast<size_t>(p.body_len));
    };
    while (ogg_stream_flush(&os, &page)) append(page);

    const size_t chunk = 4096;
    size_t done = 0;
    bool end = false;
    while (!end) {
        size_t n = std::min(chunk, pcm.left.size() - done);
        if (n == 0) {
            vorbis_analysis_wrote(&vd, 0);
        } else {
            float** buffer = vorbis_analysis_buffer(&vd, static_cast<int>(n));
            for (size_t i = 0; i < n; ++i) {
                buffer[0][i] = pcm.left[done + i];
                buffer[1][i] = pcm.right[done + i];
            }
            vorbis_analysis_wrote(&vd, static_cast<int>(n));
            done += n;
        }
        while (vorbis_analysis_blockout(&vd, &vb) == 1) {
            vorbis_analysis(&vb, nullptr);
            vorbis_bitrate_addblock(&vb);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&vd, &packet)) {
                ogg_stream_packetin(&os, &packet);
                while (ogg_stream_pageout(&os, &page)) {
                    append(page);
                    if (ogg_page_eos(&page)) end = true;
                }
            }
        }
        if (n == 0) end = true;
    }
    while (ogg_stream_flush(&os, &page)) append(page);
    ogg_stream_clear(&os);
    vorbis_block_clear(&vb);
    vorbis_dsp_clear(&vd);
    vorbis_comment_clear(&vc);
    vorbis_info_clear(&vi);
    return true;
}

bool Generate(const std::string& root) {
    std::string bytes;
    return Encode(Compose(), "Evening", bytes) && assetgen::WriteBytes(root + "/music/evening.ogg", bytes.data(), bytes.size());
}

assetgen::Registrar g_registrar("stream song", Generate);

}  // namespace

bool assetgen::EncodeOgg(const std::vector<float>& left, const std::vector<float>& right, const char* title,
                         std::string& bytes) {
    if (left.size() != right.size()) return false;
    Stereo pcm(0);
    pcm.left = left;
    pcm.right = right;
    return Encode(pcm, title, bytes);
}
