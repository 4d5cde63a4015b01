// Construction of the decoding chain from the station's paths.
#include "decode/decode_chain.h"

#include "app/station.h"

#include <QFile>

namespace varnesk {

namespace {

std::string pathBytes(const QString& path)
{
    const QByteArray bytes = QFile::encodeName(path);
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

} // namespace

DecodeChain::DecodeChain(Station& station)
    : text(station, log), sequencer(station, text), decoder(station, text, sequencer, groundStations), intake(station)
{
    groundStations.LoadGroundStations(station.paths().groundTable);
    applyPaths(station.paths());
}

void DecodeChain::applyPaths(const AppPaths& paths)
{
    log.setPaths(pathBytes(paths.textLog), pathBytes(paths.eachLogsDir));
}

} // namespace varnesk
