// The text/background colour dialog TForm18 ("色設定"): the character and
// background colours of the received aircraft list (list mode: [Color]
// ListText, ListBack) or of the received text window (text mode: TextText,
// TextBack). The dialog edits a working copy; "OK" stores it and recolours
// the caller's list or text box, "キャンセル" leaves everything as it was.
#pragma once

#include <QColor>
#include <QDialog>
#include <QFont>

#include <cstdint>
#include <functional>
#include <optional>

class QFrame;
class QPushButton;

namespace varnesk {

class SettingsStore;

// Setting colour (blue << 16 | green << 8 | red) ↔ QColor.
QColor settingColour(uint32_t value);
uint32_t settingValue(const QColor& colour);

// The platform colour dialog seeded with initial (or the test picker
// installed with TextColourDialog::setColourPicker); nothing when cancelled.
std::optional<QColor> chooseColour(const QColor& initial, QWidget* parent);

// The font a widget really draws with: a requested family that does not
// exist (the default "MS Gothic") replaced by the one fontconfig chose, so the
// font dialog opens on what the user sees.
QFont fontInUse(const QFont& requested);

class TextColourDialog : public QDialog {
    Q_OBJECT
public:
    enum class Mode { List, Text };

    TextColourDialog(SettingsStore& settings, QWidget* parent = nullptr);

    // Sets the mode, takes the working copy from the settings, centres the
    // dialog over opener and runs it modally. On "OK" target (the list or text
    // box) takes the background and character colours. Returns the result.
    int run(Mode mode, QWidget* opener, QWidget* target);

    Mode mode() const { return m_mode; }
    QColor workingText() const { return m_text; }
    QColor workingBack() const { return m_back; }

    // The platform colour dialog, replaceable in tests: gets the working
    // colour, returns the chosen one or nothing when cancelled.
    using ColourPicker = std::function<std::optional<QColor>(const QColor& initial, QWidget* parent)>;
    static void setColourPicker(ColourPicker picker);

    // Colours a list or text box: background and characters.
    static void colourWidget(QWidget* target, const QColor& text, const QColor& back);

private:
    void pick(bool textColour);
    void accept() override;
    void paintSwatches();

    SettingsStore& m_settings;
    Mode m_mode = Mode::Text;
    QWidget* m_target = nullptr;
    QColor m_text;
    QColor m_back;
    QFrame* m_textSwatch = nullptr;
    QFrame* m_backSwatch = nullptr;
};

} // namespace varnesk
