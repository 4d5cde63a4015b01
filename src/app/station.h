// The headless station: the receive pipeline of the desktop program without
// its windows. It reads the settings file of its folder, takes the input the
// settings name (sound card, pipe, WAV, IQ file or SDR), writes the text,
// search and list logs, serves desktop copies as a sharing server, feeds the
// aggregators and mails search-list hits. What goes wrong is said in one line
// on standard error; an input that cannot be opened (or is lost) and a
// listening port that cannot be had are tried again every 10 s. Once a
// minute it prints, per channel, the blocks received, the blocks dropped and
// the audio level.
#pragma once

#include "app/capture_input.h"
#include "app/receive_pipeline.h"
#include "settings/app_paths.h"
#include "settings/settings_store.h"

#include <QHostAddress>
#include <QObject>
#include <QTimer>

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace varnesk {

class NetLink;
class SearchWatch;

inline constexpr std::chrono::seconds kStationRetry{10};
inline constexpr std::chrono::seconds kStationStatusInterval{60};

class Station : public QObject {
    Q_OBJECT
public:
    struct Options {
        QString dir;           // the folder of varnesk.ini, the data files and the logs
        QString installedData; // data files copied into dir when missing; empty: none
        QHostAddress listen = QHostAddress(QHostAddress::AnyIPv4); // the sharing server's address
        std::chrono::milliseconds statusInterval = kStationStatusInterval;
        std::chrono::milliseconds retryInterval = kStationRetry;
        bool exitAtEnd = false; // a file input's end ends the station
    };
    // One line of what the station says (status, problems), without a newline.
    using Say = std::function<void(const QString& line)>;

    Station(Options options, Say say, QObject* parent = nullptr);
    ~Station() override;

    // Reads (or, the first time, writes) the settings and starts everything.
    // False when the folder cannot be used at all.
    bool start();
    // Processing off, sockets closed, input closed. The settings file is not written.
    void stop();

    ReceivePipeline& pipeline() { return *m_pipeline; }
    SettingsStore& settings() { return m_settings; }
    NetLink* netLink() { return m_netLink; }
    SearchWatch* search() { return m_search; }
    bool inputOpen() const { return m_input && m_input->isOpen(); }
    // The status lines now, as once a minute.
    void reportStatus();

Q_SIGNALS:
    // The file input reached its end (with exitAtEnd).
    void finished();

private:
    void openInput();
    void startServer();
    void retry();
    void onBlock(const ChannelBlock& block);
    void sayOnce(QString& last, const QString& line);

    Options m_options;
    Say m_say;
    SettingsStore m_settings;
    AppPaths m_paths;
    std::unique_ptr<ReceivePipeline> m_pipeline;
    NetLink* m_netLink = nullptr;
    SearchWatch* m_search = nullptr;
    std::unique_ptr<CaptureInput> m_input;
    QTimer m_retry;
    QTimer m_status;
    QTimer m_endCheck;
    bool m_wantServer = false;
    QString m_lastInputProblem;
    QString m_lastServerProblem;

    // Per channel since the last status line.
    struct ChannelTally {
        uint64_t frames = 0;
        uint64_t droppedBefore = 0; // the decoder's drops at the last status line
        double sumSquares = 0;
        uint64_t samples = 0;
    };
    std::array<ChannelTally, kMaxRadioChannels> m_tally{};
    uint64_t m_blocks = 0;
};

} // namespace varnesk
