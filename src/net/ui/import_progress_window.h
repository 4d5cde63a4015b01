// The RAW import progress window TForm16 ("RAWデータ取り込み中"): the label
// "取り込み中..." blinking every 200 ms and "キャンセル", placed 10 pixels
// right of and 60 below the main window's top-left corner, above all other
// windows. runImport feeds a RAW log through the import record by record,
// letting the event loop run after each, until the end or the cancel button.
#pragma once

#include <QString>
#include <QTimer>
#include <QWidget>

#include <functional>

class QLabel;

namespace varnesk {

class RawImport;

inline constexpr int kImportBlinkMs = 200;

class ImportProgressWindow : public QWidget {
    Q_OBJECT
public:
    ImportProgressWindow(RawImport& import, QWidget* owner);

    // Imports path (the window shows while it runs). keepGoing is asked after
    // each record too (false: the program is closing). False when the file
    // cannot be opened (then nothing shows).
    bool runImport(const QString& path, const std::function<bool()>& keepGoing = {});

    bool running() const { return m_running; }
    void cancel() { m_cancel = true; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    RawImport& m_import;
    QWidget* m_owner;
    QLabel* m_label = nullptr;
    QTimer m_blink;
    bool m_cancel = false;
    bool m_running = false;
};

} // namespace varnesk
