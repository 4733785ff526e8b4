#pragma once
// Plays a PCM WAV synchronously through ALSA: the call returns when the sound has finished.
// Without a sound device it returns 0 at once.

#include <QByteArray>

struct WaveFormat {
    int channels = 0;
    int sampleRate = 0;
    int bitsPerSample = 0;
    const char* samples = nullptr;  // into the data handed to ParseWave
    size_t sampleBytes = 0;
};

// Reads the RIFF header of 16-bit PCM data; false for anything else or for truncated data.
bool ParseWave(const QByteArray& data, WaveFormat& format);

int PlayWaveData(const QByteArray& data);
