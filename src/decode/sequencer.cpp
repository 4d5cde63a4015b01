// Repeat tables, assembly slots and the choice of banner and view per block.
#include "decode/sequencer.h"

#include "decode/aircraft_sink.h"
#include "decode/frame_relay.h"
#include "decode/received_text.h"
#include "settings/settings_store.h"

namespace varnesk {

namespace {

constexpr std::string_view kClearedRegistration = "-------";
constexpr std::string_view kUplinkAddress = "Uplink";
constexpr std::string_view kLinkTestLabel = "Q0";
constexpr std::string_view kGeneralAckLabel = "_\x7F";
constexpr std::string_view kSquitterLabel = "SQ";

int signedByte(char c)
{
    return static_cast<signed char>(c);
}

} // namespace

Sequencer::Sequencer(const SettingsStore& settings, ReceivedText& text, AircraftSink& tracking, FrameRelay& relay)
    : m_settings(settings), m_text(text), m_tracking(tracking), m_relay(relay)
{
}

void Sequencer::reset()
{
    m_downRepeat = {};
    m_upRepeat = {};
    m_downSlots = {};
    m_upSlots = {};
    m_downRepeatIndex = m_upRepeatIndex = m_downSlotIndex = m_upSlotIndex = 0;
}

bool Sequencer::decodePosition(const AcarsBlock& block, std::string_view text)
{
    return m_tracking.DecodePosition(text, block.flight, block.messageNumber, block.label, block.address);
}

void Sequencer::showDown(Show where, const AcarsBlock& block, std::string_view banner, std::string_view text)
{
    const TextView view = m_text.view();
    if ((where == Show::Prc && view != TextView::Prc) || (where == Show::Mes && view != TextView::Mes))
        return;
    m_text.ShowDownlinkBlock(block.context, block.flight, block.address, text, block.modeText(), banner,
                             block.messageNumber, block.blockIdText(), block.label, block.groundStation);
}

void Sequencer::showUp(Show where, const AcarsBlock& block, std::string_view banner, std::string_view text)
{
    const TextView view = m_text.view();
    if ((where == Show::Prc && view != TextView::Prc) || (where == Show::Mes && view != TextView::Mes))
        return;
    m_text.ShowUplinkBlock(block.context, block.groundStation, block.address, text, block.modeText(), banner,
                           block.blockIdText(), block.label);
}

std::string_view Sequencer::blanked(const AcarsBlock& block)
{
    m_blank.assign(block.text);
    const size_t n = m_blank.size();
    if (n >= 2 && m_blank[n - 2] == '\r') {
        m_blank[n - 2] = ' ';
        m_blank[n - 1] = ' ';
    }
    return m_blank;
}

void Sequencer::SequenceDownlink(const AcarsBlock& block)
{
    // Repeat check: the first entry of this registration decides.
    bool repeat = false;
    bool found = false;
    for (DownlinkRepeat& e : m_downRepeat) {
        if (e.registration.view() != block.address.view())
            continue;
        found = true;
        if (e.messageNumber.view() == block.messageNumber.view())
            repeat = true;
        else
            e.messageNumber.assign(block.messageNumber);
        break;
    }
    if (!found) {
        DownlinkRepeat& e = m_downRepeat[static_cast<size_t>(m_downRepeatIndex)];
        e.registration.assign(block.address);
        e.messageNumber.assign(block.messageNumber);
        m_downRepeatIndex = (m_downRepeatIndex + 1) % kDownlinkRepeatEntries;
    }
    if (repeat) {
        showDown(Show::Prc, block, kBannerRetransmission, {});
        return;
    }

    m_relay.relayCurrentFrame();

    DownlinkSlot* slot = nullptr;
    for (DownlinkSlot& s : m_downSlots) {
        if (!s.text.empty() && s.registration.view() == block.address.view()) {
            slot = &s;
            break;
        }
    }
    const std::string_view msg = block.messageNumber;
    const std::string_view prefix = msg.substr(0, 3);

    if (!slot) {
        if (block.lastBlock) {
            singleDownlink(block);
            return;
        }
        DownlinkSlot& s = m_downSlots[static_cast<size_t>(m_downSlotIndex)];
        s.registration.assign(block.address);
        s.prefix = {};
        for (size_t i = 0; i < prefix.size(); ++i)
            s.prefix[i] = prefix[i];
        s.lastLetter = msg.size() > 3 ? signedByte(msg[3]) : 0;
        s.text.assign(block.text);
        m_downSlotIndex = (m_downSlotIndex + 1) % kAssemblySlots;
        showDown(Show::Prc, block, kBannerBuffering, blanked(block));
        return;
    }

    if (std::string_view(slot->prefix.data(), prefix.size()) != prefix || prefix.size() != 3) {
        singleDownlink(block);
        return;
    }

    const int letter = msg.size() > 3 ? signedByte(msg[3]) : 0;
    if (letter == slot->lastLetter + 1) {
        // The first four characters of a continuation block repeat the
        // message number; they are left out of the combined text.
        const std::string_view text = block.text;
        if (text.size() > 4)
            slot->text.append(text.substr(4));
        slot->lastLetter = letter;
        if (block.lastBlock) {
            m_downWork.assign(slot->text);
            slot->text.clear();
            slot->registration.assign(kClearedRegistration);
            const bool positionFound = decodePosition(block, m_downWork);
            showDown(Show::Prc, block, kBannerCombine, m_downWork);
            if (!(m_settings.boolean(Key::ShowPos) && positionFound))
                showDown(Show::Mes, block, {}, m_downWork);
        } else {
            showDown(Show::Prc, block, kBannerBuffering, blanked(block));
        }
        return;
    }

    // A gap, a step back or a repeated letter abandons the message; the
    // current block goes with it.
    m_downWork.assign(slot->text);
    showDown(Show::Prc, block, kBannerSequenceError, m_downWork);
    slot->text.clear();
    slot->registration.assign(kClearedRegistration);
}

void Sequencer::singleDownlink(const AcarsBlock& block)
{
    const bool positionFound = decodePosition(block, block.text);
    if (m_text.view() == TextView::Raw)
        return;
    const std::string_view label = block.label;
    if (label == kLinkTestLabel) {
        showDown(Show::Prc, block, kBannerLinkTest, {});
        return;
    }
    if (label == kGeneralAckLabel) {
        showDown(Show::Prc, block, kBannerGeneralAck, {});
        return;
    }
    const std::string_view original = block.text;
    const SettingsStore& settings = m_settings;
    const bool filtered = (original.starts_with("FRQ") && settings.boolean(Key::FreqNoDisp))
                          || (original.starts_with("TIS") && settings.boolean(Key::TISNoDisp));
    const std::string_view text = blanked(block);
    showDown(Show::Prc, block, {}, text);
    if (filtered)
        return;
    if (!(settings.boolean(Key::ShowPos) && positionFound))
        showDown(Show::Mes, block, {}, text);
}

void Sequencer::SequenceUplink(const AcarsBlock& block)
{
    const std::string_view address = block.address;
    bool repeat = false;
    bool found = false;
    for (UplinkRepeat& e : m_upRepeat) {
        if (e.address.view() != address)
            continue;
        found = true;
        // Squitters all carry the address "Uplink": never a repeat.
        if (e.blockId == block.blockId && address != kUplinkAddress)
            repeat = true;
        else
            e.blockId = block.blockId;
        break;
    }
    if (!found) {
        UplinkRepeat& e = m_upRepeat[static_cast<size_t>(m_upRepeatIndex)];
        e.address.assign(address);
        e.blockId = block.blockId;
        m_upRepeatIndex = (m_upRepeatIndex + 1) % kUplinkRepeatEntries;
    }
    if (repeat) {
        showUp(Show::Prc, block, kBannerRetransmission, {});
        return;
    }

    m_relay.relayCurrentFrame();

    UplinkSlot* slot = nullptr;
    for (UplinkSlot& s : m_upSlots) {
        if (s.inUse && s.address.view() == address) {
            slot = &s;
            break;
        }
    }
    const int c = signedByte(block.blockId);

    if (!slot) {
        if (block.lastBlock) {
            showUp(Show::Prc, block, {}, block.text);
            if (!(block.label.view() == kSquitterLabel && m_settings.boolean(Key::SqNoDisp)))
                showUp(Show::Mes, block, {}, block.text);
            return;
        }
        UplinkSlot& s = m_upSlots[static_cast<size_t>(m_upSlotIndex)];
        s.inUse = true;
        s.address.assign(address);
        s.text.assign(block.text);
        // Stored upper case, and "Z" as the character before "A", so that the
        // next expected id is always the stored one + 1.
        s.lastId = c >= 'a' ? c - 32 : c;
        if (s.lastId == 'Z')
            s.lastId = 'A' - 1;
        m_upSlotIndex = (m_upSlotIndex + 1) % kAssemblySlots;
        showUp(Show::Prc, block, kBannerBuffering, block.text);
        return;
    }

    const int b = slot->lastId;
    bool inSequence = true;
    if (c == b + 1) {
        slot->text.append(block.text);
        slot->lastId = c;
    } else if (c == b + 33) {
        slot->text.append(block.text);
        slot->lastId = c - 32;
    } else if (c != b) {
        inSequence = false;
    }
    if (slot->lastId == 'Z')
        slot->lastId = 'A' - 1;

    if (!inSequence) {
        m_upWork.assign(slot->text);
        showUp(Show::Prc, block, kBannerSequenceError, m_upWork);
        *slot = UplinkSlot{};
        return;
    }
    if (block.lastBlock) {
        m_upWork.assign(slot->text);
        slot->inUse = false;
        slot->address.clear();
        slot->text.clear();
        showUp(Show::Prc, block, kBannerCombine, m_upWork);
        showUp(Show::Mes, block, {}, m_upWork);
    } else {
        showUp(Show::Prc, block, kBannerBuffering, block.text);
    }
}

} // namespace varnesk
