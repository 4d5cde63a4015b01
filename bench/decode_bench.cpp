// Block decoder and sequencer throughput: downlink frames (single and
// two-block messages, repeats, uplinks) through DecodeBlock in each view, log
// off and on, and the RAW log import. Prints microseconds per frame.
#include "acars/bit_frame.h"
#include "acars/line_codec.h"
#include "app/receive_pipeline.h"
#include "net/raw_record_reader.h"

#include <QDir>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

std::vector<int32_t> frameOf(const std::string& chars)
{
    return varnesk::slotsFromChars(chars, varnesk::ParitySlot::Zero);
}

std::string block(int i)
{
    char reg[8];
    std::snprintf(reg, sizeof reg, "JA%05d", i % 700);
    const char letter = static_cast<char>('A' + (i / 700) % 2);
    std::string s = "+*\x16\x16\x01";
    s += (i % 5 == 4) ? 'm' : '2';
    s += reg;
    s += "\x15H1";
    s += letter;
    s += '\x02';
    s += std::string("M0") + static_cast<char>('0' + i % 10) + letter;
    s += "JL0123";
    s += "POS N3540E13945,FL350,TEXT OF A TYPICAL MESSAGE\r\nSECOND LINE 0123456789";
    s += (i % 3 == 0) ? '\x17' : '\x03';
    return s;
}

} // namespace

int main()
{
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("logs/EachLogs"));
    constexpr int kFrames = 20000;
    std::vector<std::vector<int32_t>> frames;
    for (int i = 0; i < kFrames; ++i)
        frames.push_back(frameOf(block(i)));

    for (int run = 0; run < 4; ++run) {
        varnesk::SettingsStore settings;
        const int view = run % 3;
        const bool log = run == 3;
        settings.setInteger(varnesk::Key::TxtType, log ? 0 : view);
        settings.setBoolean(varnesk::Key::TxtLog, log);
        auto station = std::make_unique<varnesk::ReceivePipeline>(
            settings,
            varnesk::AppPaths::make(dir.path(), QStringLiteral("varnesk"), false, QDateTime::currentDateTime()));
        const auto t0 = Clock::now();
        size_t entries = 0;
        QObject::connect(&station->decode().text, &varnesk::ReceivedText::entryAppended,
                         [&](std::string_view) { ++entries; });
        for (size_t i = 0; i < frames.size(); ++i) {
            const auto& f = frames[i];
            station->decode().decoder.DecodeBlock(varnesk::BlockContext::radio(0, QDateTime()), f,
                                                  static_cast<int32_t>(f.size() - 8), i % 3 == 0 ? 0 : 1);
        }
        const double us = std::chrono::duration<double, std::micro>(Clock::now() - t0).count() / kFrames;
        std::printf("view %s%s: %.2f us per frame (%zu entries)\n",
                    view == 0   ? "RAW"
                    : view == 1 ? "PRC"
                                : "MES",
                    log ? " with the text log" : "", us, entries);
        if (log) {
            settings.setInteger(varnesk::Key::TxtType, 1);
            settings.setBoolean(varnesk::Key::TxtLog, false);
            entries = 0;
            const auto t1 = Clock::now();
            station->decode().import.importFile(dir.path() + QStringLiteral("/logs/text.log"));
            const double importUs = std::chrono::duration<double, std::micro>(Clock::now() - t1).count() / kFrames;
            std::printf("RAW log import (PRC view): %.2f us per record (%zu entries)\n", importUs, entries);
        }
    }
    return 0;
}
