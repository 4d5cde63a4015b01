// A receive pipeline on the fuzz program folder, made afresh for each input
// (so that every input replays alone), with the settings an option byte picks:
// the text view ([Txt] TxtType 0 … 2), chat, and the text log with its type.
#pragma once

#include "app/receive_pipeline.h"
#include "fuzz_support.h"

#include <QDateTime>

#include <new>

namespace varnesk::fuzz {

class PipelineRig {
public:
    // options: bits 0–1 the view, bit 2 [Net] Chat, bit 3 the text log, bits 4–5 its type.
    explicit PipelineRig(uint8_t options)
    {
        m_settings.setInteger(Key::TxtType, (options & 3) % 3);
        m_settings.setBoolean(Key::Chat, (options & 4) != 0);
        m_logging = (options & 8) != 0;
        m_settings.setBoolean(Key::TxtLog, m_logging);
        m_settings.setInteger(Key::TxtLogType, ((options >> 4) & 3) % 3);
        m_settings.setInteger(Key::MaxBytes, 1000);
        // A small track store: the default one takes most of an input's time
        // to set up, and a small one fills and evicts sooner.
        m_settings.setInteger(Key::MaxMapPlot, 4);
        m_settings.setInteger(Key::MaxPlotData, 8);
        // Built in the same static storage for every input: a fresh heap block
        // of this size costs more page faults than the whole decoding.
        static const AppPaths paths =
            AppPaths::make(appDir(), QStringLiteral("varnesk"), false, QDateTime(QDate(2026, 12, 10), QTime(9, 0)));
        alignas(ReceivePipeline) static unsigned char storage[sizeof(ReceivePipeline)];
        m_pipeline = new (storage) ReceivePipeline(m_settings, paths);
        m_pipeline->decode().text.setClock([] { return QDateTime(QDate(2026, 12, 10), QTime(12, 34, 56)); });
        m_pipeline->tracking().clock = [] { return QTime(12, 34, 56); };
    }
    ~PipelineRig()
    {
        // The logs written by this input go, so the folder does not grow.
        if (m_logging) {
            m_pipeline->decode().log.deleteEachLogs();
            QFile::remove(m_pipeline->paths().textLog);
        }
        m_pipeline->~ReceivePipeline();
    }
    PipelineRig(const PipelineRig&) = delete;
    PipelineRig& operator=(const PipelineRig&) = delete;

    SettingsStore& settings() { return m_settings; }
    ReceivePipeline& pipeline() { return *m_pipeline; }
    DecodeChain& decode() { return m_pipeline->decode(); }

private:
    SettingsStore m_settings;
    bool m_logging = false;
    ReceivePipeline* m_pipeline = nullptr;
};

} // namespace varnesk::fuzz
