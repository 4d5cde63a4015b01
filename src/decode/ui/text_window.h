// The received text window TForm10 ("受信テキスト表示"): shows TextWindowText
// read-only in a fixed-pitch font, scrolled to the newest entry, with the
// toolbar for the view, the text log, its file naming, always-on-top, font
// and colours. Refills its text area on a short timer after new entries.
#pragma once

#include <QWidget>

#include <cstdint>

class QButtonGroup;
class QPlainTextEdit;
class QTimer;
class QToolButton;
class QWidget;

namespace varnesk {

class ReceivedText;
class SettingsStore;
class TextColourDialog;

class TextWindow : public QWidget {
    Q_OBJECT
public:
    // owner: the window the text window is centred on when it has no place yet
    // (the main window).
    TextWindow(SettingsStore& settings, ReceivedText& text, QWidget* owner = nullptr, QWidget* parent = nullptr);

    QPlainTextEdit* textArea() const { return m_text; }
    // Fills the text area from TextWindowText and scrolls to its end.
    void refreshText();
    // The received text has a new entry: the text area is refilled on the
    // window's next refresh tick while it is visible.
    void markTextChanged() { m_textChanged = true; }
    // The basic or operator colour dialog applied its colours: [Color]
    // BackColor as background, OnColor for the characters, until the next showing.
    void applyDisplayColours();
    // The colour dialog this window opens with button 10: its own until the
    // program's one TForm18 is given.
    TextColourDialog* colourDialog() const { return m_colourDialog; }
    void setColourDialog(TextColourDialog* dialog);

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    QToolButton* addButton(int number, const QString& label, const QString& hint, bool checkable);
    void setLogButtons();
    void applyTopMost();
    void applyFont();
    void applyTextColours();
    void chooseFont();

    SettingsStore& m_settings;
    ReceivedText& m_received;
    bool m_textChanged = false;
    QWidget* m_owner;
    QWidget* m_bar = nullptr;
    QPlainTextEdit* m_text = nullptr;
    QButtonGroup* m_viewGroup = nullptr;
    QButtonGroup* m_logNameGroup = nullptr;
    QToolButton* m_logButton = nullptr;
    QToolButton* m_topButton = nullptr;
    QTimer* m_timer = nullptr;
    TextColourDialog* m_colourDialog = nullptr;
    uint64_t m_shownRevision = UINT64_MAX;
};

} // namespace varnesk
