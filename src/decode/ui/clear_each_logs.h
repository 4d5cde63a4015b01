// The main-window command "EachLogsのファイルを消去": after a confirmation,
// deletes every *.log file of logs/EachLogs.
#pragma once

class QWidget;

namespace varnesk {

class TextLog;

// Beeps and asks (Yes/No) through the message hub; on Yes deletes the files.
// Returns the number of files deleted (0 when the user says No).
int ClearEachLogs(QWidget* parent, const TextLog& log);

} // namespace varnesk
