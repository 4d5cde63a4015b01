// ClearEachLogs: confirmation, then the per-aircraft logs are deleted.
#include "decode/ui/clear_each_logs.h"

#include "decode/text_log.h"
#include "widgets/message_hub.h"

namespace varnesk {

int ClearEachLogs(QWidget* parent, const TextLog& log)
{
    if (!MessageHub::confirm(parent, QStringLiteral("EachLogs内のログを消去します。\nよろしいですか？")))
        return 0;
    return log.deleteEachLogs();
}

} // namespace varnesk
