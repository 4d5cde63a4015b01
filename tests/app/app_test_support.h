// Helpers shared by the app tests: a small 22050 Hz stereo WAV writer whose
// samples number the blocks, and an event-loop wait.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QString>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace apptest {

// Sample value of frame f, channel c in block b: tells blocks and channels apart.
inline int16_t sampleAt(int block, int frame, int channel)
{
    return static_cast<int16_t>(channel == 0 ? block * 10 + (frame % 7) : -(block * 10) - (frame % 5));
}

inline void putLe(std::string& out, uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// Stereo S16LE 22050 Hz samples of `blocks` whole blocks.
inline std::string rawSamples(int blocks)
{
    std::string out;
    for (int b = 0; b < blocks; ++b)
        for (int f = 0; f < 512; ++f)
            for (int c = 0; c < 2; ++c)
                putLe(out, static_cast<uint16_t>(sampleAt(b, f, c)), 2);
    return out;
}

inline bool writeWav(const QString& path, int blocks)
{
    const std::string data = rawSamples(blocks);
    std::string out = "RIFF";
    putLe(out, static_cast<uint32_t>(36 + data.size()), 4);
    out += "WAVEfmt ";
    putLe(out, 16, 4);
    putLe(out, 1, 2);         // PCM
    putLe(out, 2, 2);         // channels
    putLe(out, 22050, 4);     // rate
    putLe(out, 22050 * 4, 4); // bytes per second
    putLe(out, 4, 2);         // block alignment
    putLe(out, 16, 2);        // bits
    out += "data";
    putLe(out, static_cast<uint32_t>(data.size()), 4);
    out += data;
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    return f.write(out.data(), static_cast<qint64>(out.size())) == static_cast<qint64>(out.size());
}

// Runs the event loop until done() or the time is up; returns done().
inline bool waitFor(const std::function<bool()>& done, int timeoutMs = 5000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

} // namespace apptest
