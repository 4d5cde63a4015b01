// The indicators' windows: the modem pane paints the panel the core draws and
// carries the channel selector; clicking the clock flips UTC and local time.
#include "app/ui/status_indicators.h"

#include "app/receive_pipeline.h"
#include "decode/block_context.h"
#include "map/canvas.h"
#include "map/pane_layout.h"
#include "settings/settings_store.h"

#include <QComboBox>

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QTimer>
#include <algorithm>

namespace varnesk {

namespace {

constexpr int kLampTopPx = 5;
constexpr int kLampHeightPx = 18;
constexpr int kLampWidthPx = 7;
constexpr int kLogoWidthPx = 70;
constexpr int kLogoHeightPx = 24;
// The strip's right edge lies this far inside the client area's.
constexpr int kStripInsetPx = 4;

// A lamp paints its colour itself: a toolbar's style draws over palettes.
class Lamp : public QWidget {
public:
    Lamp(QWidget* parent, const char* name, const QString& hint) : QWidget(parent)
    {
        setObjectName(QLatin1String(name));
        setToolTip(hint);
        setAttribute(Qt::WA_OpaquePaintEvent);
        resize(kLampWidthPx, kLampHeightPx);
    }
    void setColour(uint32_t rgb)
    {
        if (rgb == m_rgb)
            return;
        m_rgb = rgb;
        update();
    }
    uint32_t colour() const { return m_rgb; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(rect(), QColor::fromRgb(0xFF000000u | m_rgb));
    }

private:
    uint32_t m_rgb = kLampDark;
};

QWidget* makeLamp(QWidget* parent, const char* name, const QString& hint)
{
    return new Lamp(parent, name, hint);
}

void paintLamp(QWidget* lamp, uint32_t rgb)
{
    static_cast<Lamp*>(lamp)->setColour(rgb);
}

QPixmap logoPicture()
{
    QImage image(kLogoWidthPx, kLogoHeightPx, QImage::Format_RGB32);
    image.fill(QColor(0x10, 0x20, 0x50));
    QPainter p(&image);
    QFont font = mapFont(10);
    font.setBold(true);
    font.setItalic(true);
    p.setFont(font);
    p.setPen(QColor(0xF0, 0xD0, 0x40));
    p.drawText(image.rect(), Qt::AlignCenter, QStringLiteral("Varnesk"));
    p.end();
    return QPixmap::fromImage(image);
}

} // namespace

ModemPane::ModemPane(ModemIndicators& indicators, SettingsStore& settings, QWidget* parent)
    : QFrame(parent), m_indicators(indicators), m_settings(settings),
      m_surface(kModemPanelWidth, kModemPanelHeight, QImage::Format_RGB32)
{
    setObjectName(QStringLiteral("Panel8"));
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(kPaneBorderPx);
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(kModemPaneWidthPx, kModemPaneHeightPx);
    m_selector = new QComboBox(this);
    m_selector->setObjectName(QStringLiteral("ComboBox3"));
    m_selector->addItems({QStringLiteral("L"), QStringLiteral("R")});
    m_selector->setFocusPolicy(Qt::NoFocus);
    m_selector->setGeometry(kPaneBorderPx + modem_panel::kSelectorX, kPaneBorderPx + modem_panel::kSelectorY,
                            modem_panel::kSelectorWidth, modem_panel::kSelectorHeight);
    connect(m_selector, &QComboBox::currentIndexChanged, this,
            [this](int index) { m_indicators.setChosenChannel(index); });
    refresh();
}

void ModemPane::setChannelCount(int channels)
{
    const int wanted = std::clamp(channels, 2, kMaxRadioChannels);
    while (m_selector->count() > wanted)
        m_selector->removeItem(m_selector->count() - 1);
    while (m_selector->count() < wanted)
        m_selector->addItem(QString::fromLatin1(radioTag(m_selector->count()).data(), 3));
}

void ModemPane::refresh()
{
    drawModemPanel(m_surface, m_indicators, false);
    update();
}

void ModemPane::paintEvent(QPaintEvent* event)
{
    QFrame::paintEvent(event);
    QPainter p(this);
    p.drawImage(contentsRect().topLeft(), m_surface);
}

void ModemPane::mouseReleaseEvent(QMouseEvent* event)
{
    const QPoint at = event->position().toPoint() - contentsRect().topLeft();
    const QRect clock(modem_panel::kClockX, modem_panel::kClockY, kClockWidth, kClockHeight);
    // The clock picture flips UTC and local time; the next refresh shows it.
    if (clock.contains(at))
        m_settings.setBoolean(Key::DispTime, !m_settings.boolean(Key::DispTime));
    event->accept();
}

LampStrip::LampStrip(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("LampStrip"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFixedHeight(28);
    // The widest arrangement puts the logo 101 pixels before the right edge.
    setMinimumWidth(101 - kStripInsetPx);
    m_logo = new QLabel(this);
    m_logo->setObjectName(QStringLiteral("LogoImage"));
    m_logo->setPixmap(logoPicture());
    m_logo->resize(kLogoWidthPx, kLogoHeightPx);
    m_net = makeLamp(this, "Panel5", QString());
    m_left = makeLamp(this, "Panel1", QStringLiteral("信号検出"));
    m_right = makeLamp(this, "Panel3", QStringLiteral("信号検出"));
    setLamps(LampColours{});
    place(false, false, true, 1);
}

void LampStrip::setLamps(const LampColours& lamps)
{
    paintLamp(m_left, lamps.left);
    paintLamp(m_right, lamps.right);
    paintLamp(m_net, lamps.net);
}

void LampStrip::place(bool sharing, bool server, bool serverDecodes, int dual)
{
    m_state = {sharing, server, serverDecodes, dual};
    // Positions count from the client area's left edge; the strip ends
    // kStripInsetPx before the client area does.
    const int cw = width() + kStripInsetPx;
    const LampPlacement p = placeLamps(cw, sharing, server, serverDecodes, dual);
    auto apply = [](QWidget* lamp, const LampPlacement::Place& place) {
        if (place.left)
            lamp->move(*place.left, kLampTopPx);
        if (place.shown)
            lamp->setVisible(*place.shown);
    };
    apply(m_left, p.leftSignal);
    apply(m_right, p.rightSignal);
    apply(m_net, p.net);
    m_logo->move(p.logoLeft, (height() - kLogoHeightPx) / 2);
}

void LampStrip::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    place(m_state.sharing, m_state.server, m_state.serverDecodes, m_state.dual);
}

StatusIndicators::StatusIndicators(ReceivePipeline& pipeline, QObject* parent)
    : QObject(parent), m_pipeline(pipeline), m_core(pipeline.settings())
{
    setObjectName(QStringLiteral("StatusIndicators"));
    m_pane = new ModemPane(m_core, pipeline.settings());
    m_strip = new LampStrip();
    connect(&pipeline, &ReceivePipeline::captureBlockDone, this, &StatusIndicators::blockDone);
    NetworkSharing& network = pipeline.network();
    connect(&network, &NetworkSharing::chunkReceived, this, [this] { m_core.netEvent(); });
    connect(&network, &NetworkSharing::netActiveChanged, this, &StatusIndicators::placeLamps);
    // A frame that a server decodes itself (a client sends its own on).
    connect(&pipeline, &ReceivePipeline::frameCaptured, this, [this] {
        if (m_pipeline.network().netActive() && m_pipeline.settings().boolean(Key::Server))
            m_core.netEvent();
    });
    placeLamps();
    // The clock keeps time by itself: a client fed by the network, an idle
    // station or the end of a file delivers no capture blocks. A quarter
    // second keeps the shown second within that of the true one.
    auto* clock = new QTimer(this);
    clock->setObjectName(QStringLiteral("ClockTimer"));
    clock->setInterval(250);
    connect(clock, &QTimer::timeout, this, [this] {
        if (m_pipeline.settings().boolean(Key::ShowMod) && m_core.tickClock(QDateTime::currentDateTimeUtc()))
            m_pane->refresh();
    });
    clock->start();
}

void StatusIndicators::blockDone()
{
    const SettingsStore& settings = m_pipeline.settings();
    const bool shown = settings.boolean(Key::ShowMod);
    const ModemIndicators::BlockResult r =
        m_core.blockDone(m_pipeline.receiver(), m_pipeline.channelSamples(0), m_pipeline.channelSamples(1),
                         QDateTime::currentDateTimeUtc(), shown);
    if (shown && (r.spectrumDrawn || r.clockDrawn || r.lampsChanged))
        m_pane->refresh();
    if (r.lampsChanged)
        m_strip->setLamps(m_core.lamps());
    placeLamps();
}

void StatusIndicators::placeLamps()
{
    const SettingsStore& s = m_pipeline.settings();
    m_strip->place(m_pipeline.network().netActive(), s.boolean(Key::Server), s.boolean(Key::ServerDec),
                   s.integer(Key::Dual));
}

void StatusIndicators::repaintClock()
{
    m_core.repaintClock(QDateTime::currentDateTimeUtc());
    m_pane->refresh();
}

} // namespace varnesk
