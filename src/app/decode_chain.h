// Everything of message decoding that lives for the life of the process: the
// ground station table, the text log, the received text with its three
// writers, the relay, the sequencer's tables, the block decoder, the line
// intake that feeds it network and RAW log lines, and the RAW import.
#pragma once

#include "decode/block_decoder.h"
#include "decode/frame_relay.h"
#include "decode/ground_stations.h"
#include "decode/received_text.h"
#include "decode/sequencer.h"
#include "decode/text_log.h"
#include "net/line_intake.h"
#include "net/raw_record_reader.h"

namespace varnesk {

class AircraftTracking;
class NetworkSharing;
class SettingsStore;
struct AppPaths;

struct DecodeChain {
    // Loads the ground stations and takes the log paths from paths.
    DecodeChain(const SettingsStore& settings, const AppPaths& paths, AircraftTracking& tracking,
                NetworkSharing& network);

    // The text log and EachLogs folder of a new path table (start-up, or a
    // changed [Etc] LogName).
    void applyPaths(const AppPaths& paths);

    GroundStations groundStations;
    TextLog log;
    ReceivedText text;
    FrameRelay relay;
    Sequencer sequencer;
    BlockDecoder decoder;
    NetLineIntake intake;
    RawImport import;
};

} // namespace varnesk
