#include "platform/Sound.h"

#include <alsa/asoundlib.h>

#include <cstring>

namespace {
uint32_t Le32(const char* p) {
    auto* u = reinterpret_cast<const unsigned char*>(p);
    return u[0] | (u[1] << 8) | (u[2] << 16) | (static_cast<uint32_t>(u[3]) << 24);
}
uint16_t Le16(const char* p) {
    auto* u = reinterpret_cast<const unsigned char*>(p);
    return static_cast<uint16_t>(u[0] | (u[1] << 8));
}
constexpr uint16_t kPcm = 1;

// A machine without a sound card is normal here; ALSA would say so on standard error each time.
void QuietAlsa(const char*, int, const char*, int, const char*, ...) {}
}  // namespace

bool ParseWave(const QByteArray& data, WaveFormat& format) {
    const char* p = data.constData();
    const size_t size = static_cast<size_t>(data.size());
    if (size < 12 || std::memcmp(p, "RIFF", 4) != 0 || std::memcmp(p + 8, "WAVE", 4) != 0) {
        return false;
    }
    bool haveFormat = false;
    size_t pos = 12;
    while (pos + 8 <= size) {
        const char* chunk = p + pos;
        size_t length = Le32(chunk + 4);
        if (length > size - pos - 8) {
            return false;
        }
        if (std::memcmp(chunk, "fmt ", 4) == 0 && length >= 16) {
            if (Le16(chunk + 8) != kPcm) {
                return false;
            }
            format.channels = Le16(chunk + 10);
            format.sampleRate = static_cast<int>(Le32(chunk + 12));
            format.bitsPerSample = Le16(chunk + 22);
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0 && haveFormat) {
            format.samples = chunk + 8;
            format.sampleBytes = length;
            return format.bitsPerSample == 16 && format.channels > 0 && format.sampleRate > 0;
        }
        pos += 8 + length + (length & 1);
    }
    return false;
}

int PlayWaveData(const QByteArray& data) {
    WaveFormat format;
    if (!ParseWave(data, format)) {
        return 0;
    }
    snd_lib_error_set_handler(&QuietAlsa);
    snd_pcm_t* pcm = nullptr;
    if (snd_pcm_open(&pcm, "default", SND_PCM_STREAM_PLAYBACK, 0) < 0) {
        return 0;
    }
    const unsigned latencyMicroseconds = 100000;
    if (snd_pcm_set_params(pcm, SND_PCM_FORMAT_S16_LE, SND_PCM_ACCESS_RW_INTERLEAVED,
                           static_cast<unsigned>(format.channels),
                           static_cast<unsigned>(format.sampleRate), 1, latencyMicroseconds) < 0) {
        snd_pcm_close(pcm);
        return 0;
    }
    const size_t frameBytes = static_cast<size_t>(format.channels) * 2;
    snd_pcm_uframes_t frames = format.sampleBytes / frameBytes;
    const char* next = format.samples;
    bool ok = true;
    while (frames > 0) {
        snd_pcm_sframes_t written = snd_pcm_writei(pcm, next, frames);
        if (written < 0) {
            written = snd_pcm_recover(pcm, static_cast<int>(written), 1);
            if (written < 0) {
                ok = false;
                break;
            }
            continue;
        }
        next += static_cast<size_t>(written) * frameBytes;
        frames -= static_cast<snd_pcm_uframes_t>(written);
    }
    if (ok) {
        snd_pcm_drain(pcm);  // returns when the last sample has been played
    }
    snd_pcm_close(pcm);
    return ok ? 1 : 0;
}
