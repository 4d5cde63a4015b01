// ClearEachLogs: confirmation, then the per-aircraft logs are deleted.
#include "decode/ui/clear_each_logs.h"

#include "app/station.h"
#include "app/ui/message_hub.h"

namespace varnesk {

int ClearEachLogs(QWidget* parent, Station& station)
{
    if (!MessageHub::confirm(parent, QStringLiteral("EachLogs内のログを消去します。\nよろしいですか？")))
        return 0;
    return station.decode().log.deleteEachLogs();
}

} // namespace varnesk
