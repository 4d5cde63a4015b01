// Whether sharing is active, and the bounded chat history.
#include "net/network_sharing.h"

#include "settings/settings_store.h"

#include <algorithm>

namespace varnesk {

NetworkSharing::NetworkSharing(const SettingsStore& settings) : m_settings(settings) { }

void NetworkSharing::setNetActive(bool active)
{
    if (m_netActive == active)
        return;
    m_netActive = active;
    Q_EMIT netActiveChanged(active);
}

void NetworkSharing::addChatLine(std::string_view line)
{
    m_chatHistory.append(line).append("\r\n");
    const auto limit = static_cast<size_t>(std::max(1, m_settings.integer(Key::MaxBytes)));
    if (m_chatHistory.size() >= limit)
        m_chatHistory.erase(0, m_chatHistory.size() - limit + 1);
    Q_EMIT chatLineAdded(line);
}

} // namespace varnesk
