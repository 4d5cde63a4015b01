// The hand-offs of the block decoder to the areas that follow it: the aircraft
// list, the position decoder, the relay to clients, the search list and the
// chat window. Each is a named call that the owning area fills.
#include "app/station.h"

namespace varnesk {

void Station::UpdateListEntry(const AcarsBlock& block)
{
    m_tracking.UpdateListEntry(block.flight.view(), block.address.view(), block.groundStation);
}

void Station::DecodePosition(std::string_view text, std::string_view flight, std::string_view messageNumber,
                             std::string_view label, std::string_view registration)
{
    PositionFound = m_tracking.DecodePosition(text, flight, messageNumber, label, registration);
}

void Station::SendToClients(std::string_view /*line*/)
{
}

bool Station::CheckSearchList(std::string_view /*registration*/, std::string_view /*flight*/)
{
    return false;
}

void Station::ShowChatWindow()
{
}

} // namespace varnesk
