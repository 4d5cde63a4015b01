// Date-time text in the user's locale, as CP932 bytes.
#include "decode/date_time_text.h"

#include "acars/sjis.h"

#include <QLocale>

namespace varnesk {

std::string dateTimeText(const QDateTime& local)
{
    const QLocale locale = QLocale::system();
    QString timeFormat = locale.timeFormat(QLocale::LongFormat);
    // The long time format may end in a time zone name ("t"); the entries
    // carry local time and the zone name only widens them.
    timeFormat.remove(QStringLiteral(" t"));
    timeFormat.remove(QStringLiteral("t "));
    timeFormat = timeFormat.trimmed();
    const QString text = locale.toString(local.date(), QLocale::ShortFormat) + QLatin1Char(' ')
                         + locale.toString(local.time(), timeFormat);
    return qstringToSjis(text);
}

} // namespace varnesk
