// The dialogs that edit settings without controls of their own: TForm3
// ("設定", filters, conversions, plotting, log naming, mail encodings),
// TForm4 ("基本表示色設定", 29 colours, plot and line style), TForm19
// ("オペレーターカラー設定", ten operator rows of seven colours). Each copies
// the settings into a working copy when shown; "OK" / "適用" copy it back.
#pragma once

#include "settings/settings_keys.h"
#include "settings/settings_store.h"
#include "widgets/centre_dialog.h"

#include <QColor>
#include <QDialog>

#include <array>
#include <functional>
#include <vector>

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QFrame;
class QLineEdit;

namespace varnesk {

class SettingsDialog : public QDialog {
    Q_OBJECT
public:
    SettingsDialog(SettingsStore& settings, QWidget* owner);

    // Called after "OK" when [Etc] LogName changed: the logs start anew.
    std::function<void()> logNameChanged;

protected:
    void showEvent(QShowEvent* event) override;
    void accept() override;

private:
    SettingsStore& m_settings;
    QWidget* m_owner;
    std::vector<std::pair<Key, QCheckBox*>> m_boxes;
    QButtonGroup* m_logName = nullptr;
};

// The basic display colours, in the order their swatches are numbered.
inline constexpr std::array<Key, 29> kBasicColourKeys{
    Key::PlotOnColor,  Key::PlotOffColor,  Key::PlotMarkUpColor, Key::PlotBackColor,  Key::BackColor,
    Key::OnColor,      Key::SubColor,      Key::MarkUpColor,     Key::MapBackColor,   Key::MapCoastColor,
    Key::MapAirwayVOR, Key::MapAirwayNDB,  Key::MapAirwayNAV,    Key::MapPointVORDME, Key::MapPointVORTAC,
    Key::MapPointNDB,  Key::MapPointNAV,   Key::MapPointAirPort, Key::MapPointHome,   Key::MapPointBeacon,
    Key::MapPointAnt,  Key::MapPointMount, Key::MapPointNone,    Key::SelBack,        Key::SelText,
    Key::AltBack,      Key::AltScale,      Key::ClockBack,       Key::ClockText,
};

class BasicColourDialog : public QDialog {
    Q_OBJECT
public:
    BasicColourDialog(SettingsStore& settings, QWidget* owner);

    // After "OK" or "適用" stored the colours: the map and panes redraw.
    std::function<void()> coloursApplied;

    QColor working(Key key) const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void load(bool defaults);
    void apply();
    void paint(size_t i);

    SettingsStore& m_settings;
    QWidget* m_owner;
    std::array<QColor, kBasicColourKeys.size()> m_colours;
    std::array<QFrame*, kBasicColourKeys.size()> m_swatches{};
    QButtonGroup* m_plotType = nullptr;
    QButtonGroup* m_lineType = nullptr;
};

class OperatorColourDialog : public QDialog {
    Q_OBJECT
public:
    OperatorColourDialog(SettingsStore& settings, QWidget* owner);

    std::function<void()> coloursApplied;

    // Button n (1 … 70) edits colour ((n − 1) mod 7) + 1 of row (n − 1) div 7.
    void pickColour(int button);
    QColor working(int row, int colour) const; // colour 0 … 6

protected:
    void showEvent(QShowEvent* event) override;

private:
    void apply();
    void paint(int row, int colour);

    SettingsStore& m_settings;
    QWidget* m_owner;
    std::array<std::array<QColor, kOperatorColours>, kOperatorRows> m_colours;
    std::array<std::array<QFrame*, kOperatorColours>, kOperatorRows> m_swatches{};
    std::array<QLineEdit*, kOperatorRows> m_codes{};
};

} // namespace varnesk
