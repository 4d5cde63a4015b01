// A receive pipeline on the fuzz program folder, made afresh for each input
// (so that every input replays alone), with the settings an option byte picks:
// the text view ([Txt] TxtType 0 … 2), chat, and the text log with its type.
#pragma once

#include "app/receive_pipeline.h"
#include "fuzz_support.h"

#include <QDateTime>

#include <memory>

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
        m_pipeline = std::make_unique<ReceivePipeline>(
            m_settings, AppPaths::make(appDir(), QStringLiteral("varnesk"), false,
                                       QDateTime(QDate(2026, 12, 10), QTime(9, 0))));
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
    }

    SettingsStore& settings() { return m_settings; }
    ReceivePipeline& pipeline() { return *m_pipeline; }
    DecodeChain& decode() { return m_pipeline->decode(); }

private:
    SettingsStore m_settings;
    bool m_logging = false;
    std::unique_ptr<ReceivePipeline> m_pipeline;
};

} // namespace varnesk::fuzz
