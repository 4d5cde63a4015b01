// Construction of the decoding chain.
#include "app/decode_chain.h"

#include "net/network_sharing.h"
#include "settings/app_paths.h"
#include "tracking/aircraft_tracking.h"

#include <QFile>

namespace varnesk {

namespace {

std::string pathBytes(const QString& path)
{
    const QByteArray bytes = QFile::encodeName(path);
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

} // namespace

DecodeChain::DecodeChain(const SettingsStore& settings, const AppPaths& paths, AircraftTracking& tracking,
                         NetworkSharing& network)
    : text(settings, log), relay(settings, [&network](std::string_view line) { network.SendToClients(line); }),
      sequencer(settings, text, tracking, relay), decoder(settings, text, sequencer, groundStations, tracking, relay),
      intake(decoder), import(intake, log)
{
    groundStations.LoadGroundStations(paths.groundTable);
    applyPaths(paths);
}

void DecodeChain::applyPaths(const AppPaths& paths)
{
    log.setPaths(pathBytes(paths.textLog), pathBytes(paths.eachLogsDir));
}

} // namespace varnesk
