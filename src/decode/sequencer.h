// Message sequencing: recognises repeated blocks, assembles multi-block
// messages per registration (downlink) or address (uplink), names link tests
// and acknowledgements, and chooses the banner and text of the processed
// views. Fixed-size tables written round-robin; nothing grows.
#pragma once

#include "decode/acars_block.h"

#include <array>
#include <cstdint>
#include <string_view>

namespace varnesk {

class AircraftSink;
class FrameRelay;
class ReceivedText;
class SettingsStore;

inline constexpr int kDownlinkRepeatEntries = 500;
inline constexpr int kUplinkRepeatEntries = 100;
inline constexpr int kAssemblySlots = 20;
// A message is collected up to this many bytes; text beyond it is cut off and
// the message still completes, so a long message is shown as far as it fits.
inline constexpr std::size_t kMessageBytes = 6000;

class Sequencer {
public:
    // Complete downlink messages go to the tracking's position decoder; new
    // blocks to the relay.
    Sequencer(const SettingsStore& settings, ReceivedText& text, AircraftSink& tracking, FrameRelay& relay);

    // Every downlink block that passed validation, after the RAW view and the
    // aircraft list.
    void SequenceDownlink(const AcarsBlock& block);
    // Every uplink block, after the RAW view.
    void SequenceUplink(const AcarsBlock& block);

    // Empties every table (start-up state).
    void reset();

    // For inspection.
    struct DownlinkRepeat {
        FixedText<kAddressWidth> registration;
        FixedText<4> messageNumber;
    };
    struct UplinkRepeat {
        FixedText<kAddressWidth> address;
        char blockId = 0;
    };
    struct DownlinkSlot {
        FixedText<kAddressWidth> registration;
        std::array<char, 3> prefix{};
        int32_t lastLetter = 0;
        FixedText<kMessageBytes> text; // its size is the slot's length; 0 = free
    };
    struct UplinkSlot {
        // A slot is taken while inUse: an uplink with an empty address must
        // not match a free slot, whose address is empty too.
        bool inUse = false;
        FixedText<kAddressWidth> address;
        int32_t lastId = 0;
        FixedText<kMessageBytes> text;
    };
    const DownlinkRepeat& downlinkRepeat(int i) const { return m_downRepeat[static_cast<size_t>(i)]; }
    const DownlinkSlot& downlinkSlot(int i) const { return m_downSlots[static_cast<size_t>(i)]; }
    const UplinkSlot& uplinkSlot(int i) const { return m_upSlots[static_cast<size_t>(i)]; }

private:
    enum class Show { Prc, Mes };
    void showDown(Show where, const AcarsBlock& block, std::string_view banner, std::string_view text);
    void showUp(Show where, const AcarsBlock& block, std::string_view banner, std::string_view text);
    void singleDownlink(const AcarsBlock& block);
    // The block's text with a trailing CR LF blanked to two spaces, in m_blank.
    std::string_view blanked(const AcarsBlock& block);
    // Every complete downlink message; true when it held a position (PositionFound).
    bool decodePosition(const AcarsBlock& block, std::string_view text);

    const SettingsStore& m_settings;
    ReceivedText& m_text;
    AircraftSink& m_tracking;
    FrameRelay& m_relay;

    std::array<DownlinkRepeat, kDownlinkRepeatEntries> m_downRepeat{};
    int m_downRepeatIndex = 0;
    std::array<UplinkRepeat, kUplinkRepeatEntries> m_upRepeat{};
    int m_upRepeatIndex = 0;
    std::array<DownlinkSlot, kAssemblySlots> m_downSlots{};
    int m_downSlotIndex = 0;
    std::array<UplinkSlot, kAssemblySlots> m_upSlots{};
    int m_upSlotIndex = 0;
    FixedText<kMessageBytes> m_downWork;
    FixedText<kMessageBytes> m_upWork;
    FixedText<kBlockTextCapacity> m_blank;
};

} // namespace varnesk
