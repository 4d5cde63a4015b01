// The receiver's indicators in the main window: the modem and time pane
// (Panel8: waterfall, clock, OVR SYN RCV ERR, channel selector ComboBox3)
// and the toolbar's lamp strip (signal lamps Panel1 and Panel3, NET lamp
// Panel5, logo), refreshed at the end of every capture block.
#pragma once

#include "map/modem_indicators.h"

#include <QFrame>
#include <QImage>
#include <QObject>
#include <QWidget>

class QComboBox;
class QLabel;

namespace varnesk {

class ReceivePipeline;
class SettingsStore;

class ModemPane : public QFrame {
    Q_OBJECT
public:
    ModemPane(ModemIndicators& indicators, SettingsStore& settings, QWidget* parent = nullptr);
    QComboBox* channelSelector() const { return m_selector; }
    // "L", "R", then "C03" … for the channels a source gives beyond two; a
    // choice that goes away falls back to "L".
    void setChannelCount(int channels);
    // The indicators changed: the panel is drawn again at the next paint.
    void refresh();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    ModemIndicators& m_indicators;
    SettingsStore& m_settings;
    QComboBox* m_selector;
    QImage m_surface;
};

// The lamps sit at fixed distances from the toolbar's right end, as the
// station's sharing state and decoder count place them.
class LampStrip : public QWidget {
    Q_OBJECT
public:
    explicit LampStrip(QWidget* parent = nullptr);
    void setLamps(const LampColours& lamps);
    // Places the lamps and the logo (see placeLamps); the strip's right edge
    // stands for the client area's.
    void place(bool sharing, bool server, bool serverDecodes, int dual);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QWidget* m_left;
    QWidget* m_right;
    QWidget* m_net;
    QLabel* m_logo;
    struct {
        bool sharing = false, server = false, serverDecodes = false;
        int dual = 1;
    } m_state;
};

class StatusIndicators : public QObject {
    Q_OBJECT
public:
    StatusIndicators(ReceivePipeline& pipeline, QObject* parent);

    ModemIndicators& core() { return m_core; }
    ModemPane* modemPane() const { return m_pane; }
    LampStrip* lampStrip() const { return m_strip; }
    // The colour dialogs applied new colours: the clock is repainted at once.
    void repaintClock();

private:
    void blockDone();
    void placeLamps();

    ReceivePipeline& m_pipeline;
    ModemIndicators m_core;
    ModemPane* m_pane;
    LampStrip* m_strip;
};

} // namespace varnesk
