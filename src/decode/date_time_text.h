// The date-time text of the text window, the logs and the log-start line:
// the locale's short date, one space, the locale's long time (without a time
// zone name), as Shift-JIS bytes.
#pragma once

#include <QDateTime>

#include <string>

namespace varnesk {

std::string dateTimeText(const QDateTime& local);

} // namespace varnesk
