// Everything of message decoding that the Station owns for the life of the
// process: the ground station table, the text log, the received text with its
// three writers, the sequencer's tables, the block decoder and the line
// intake that feeds it network and RAW log lines.
#pragma once

#include "aircraft/ground_stations.h"
#include "decode/block_decoder.h"
#include "decode/received_text.h"
#include "decode/sequencer.h"
#include "decode/text_log.h"
#include "net/line_intake.h"

namespace varnesk {

class Station;
struct AppPaths;

struct DecodeChain {
    // Loads the ground stations and takes the log paths from the station's paths.
    explicit DecodeChain(Station& station);

    // The text log and EachLogs folder of a new path table (start-up, or a
    // changed [Etc] LogName).
    void applyPaths(const AppPaths& paths);

    GroundStations groundStations;
    TextLog log;
    ReceivedText text;
    Sequencer sequencer;
    BlockDecoder decoder;
    // The entry of network and RAW log lines (feeds decoder).
    NetLineIntake intake;
};

} // namespace varnesk
