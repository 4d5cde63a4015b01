// TForm17: a card of labelled fields, two toolbar switches, the flight search
// box and the 200 × 133 picture area.
#include "aircraft/ui/aircraft_card.h"
#include "aircraft/ui/table_files.h"
#include "widgets/frame_position.h"

#include "acars/sjis.h"
#include "aircraft/aircraft_list.h"
#include "aircraft/jpeg_picture.h"
#include "aircraft/reference_tables.h"
#include "settings/settings_store.h"
#include "tracking/aircraft_tracking.h"
#include "widgets/centre_dialog.h"
#include "widgets/message_hub.h"
#include "widgets/tool_button.h"

#include <QEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <utility>

namespace varnesk {

Q_LOGGING_CATEGORY(lcCard, "varnesk.aircraft")

namespace {

constexpr int kPictureWidthPx = 200;
constexpr int kPictureHeightPx = 133;
const char* const kNoFlight = "------";

AircraftCard::UrlOpener& urlOpener()
{
    static AircraftCard::UrlOpener opener;
    return opener;
}

void styleLink(QLabel* label, bool link)
{
    QFont f = label->font();
    f.setUnderline(link);
    label->setFont(f);
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, link ? QColor(Qt::blue) : QColor(Qt::black));
    label->setPalette(p);
    label->setCursor(link ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

// The text of a field that carries its text as a tooltip too.
void setLong(QLabel* label, const QString& text)
{
    label->setText(text);
    label->setToolTip(text);
}

} // namespace

void AircraftCard::setUrlOpener(UrlOpener opener)
{
    urlOpener() = std::move(opener);
}

QString AircraftCard::flightStatusUrl(std::string_view flight)
{
    if (flight.size() < 3)
        return {};
    int number = 0;
    bool digits = false;
    for (char c : flight.substr(2)) {
        if (c < '0' || c > '9')
            break;
        digits = true;
        number = number * 10 + (c - '0');
        if (number > 99999)
            return {};
    }
    if (!digits)
        return {};
    return QStringLiteral("%1/go/FlightStatus/flightStatusByFlight.do?airline=%28%2%29&flightNumber=%3")
        .arg(QLatin1String(kFlightStatusHost), sjisToQString(flight.substr(0, 2)), QString::number(number));
}

QString AircraftCard::aircraftPhotoUrl(std::string_view registration)
{
    if (registration.empty())
        return {};
    return QLatin1String(kAircraftPhotoHost) + QStringLiteral("/search/photo.search?regsearch=")
           + QString::fromLatin1(QUrl::toPercentEncoding(sjisToQString(registration)));
}

QString AircraftCard::normaliseFlightSearch(const QString& text)
{
    QString prefix = text.left(2);
    QString number = text.mid(2);
    while (prefix.size() + number.size() < 6)
        number.prepend(QLatin1Char('0'));
    for (QChar& c : prefix)
        if (c.unicode() >= 91)
            c = QChar(static_cast<char16_t>(c.unicode() - 32));
    return prefix + number;
}

AircraftCard::AircraftCard(SettingsStore& settings, AircraftTracking& tracking, QString picsDir, QWidget* owner)
    : QWidget(owner, Qt::Window), m_settings(settings), m_tracking(tracking), m_picsDir(std::move(picsDir)),
      m_owner(owner)
{
    setWindowTitle(QStringLiteral("航空機情報"));

    m_toolPanel = new QWidget(this);
    m_toolPanel->setObjectName(QStringLiteral("Panel1"));
    auto* tools = new QHBoxLayout(m_toolPanel);
    tools->setContentsMargins(2, 2, 2, 2);
    auto toolButton = [&](const char* name, const QString& hint, const QString& text, bool on) {
        QToolButton* b = makeToolButton(m_toolPanel, name, text, hint, true);
        b->setChecked(on);
        tools->addWidget(b);
        return b;
    };
    m_showNew = toolButton("SpeedButton2", QStringLiteral("新規受信時に自動的に表示"), QStringLiteral("新規"),
                           settings.boolean(Key::ShowNew));
    m_topMost = toolButton("SpeedButton5", QStringLiteral("常に手前に表示"), QStringLiteral("手前"),
                           settings.boolean(Key::ListTopMost));
    connect(m_showNew, &QToolButton::toggled, this, [this](bool on) { m_settings.setBoolean(Key::ShowNew, on); });
    connect(m_topMost, &QToolButton::toggled, this, [this](bool on) {
        m_settings.setBoolean(Key::ListTopMost, on);
        applyTopMost();
    });
    tools->addStretch();
    m_search = new QLineEdit(QString::fromLatin1(kNoFlight), m_toolPanel);
    m_search->setObjectName(QStringLiteral("Edit1"));
    m_search->setMaximumWidth(80);
    m_search->installEventFilter(this);
    tools->addWidget(m_search);
    auto* searchButton = new QPushButton(QStringLiteral("便名検索"), m_toolPanel);
    searchButton->setObjectName(QStringLiteral("SearchButton"));
    connect(searchButton, &QPushButton::clicked, this, &AircraftCard::runFlightSearch);
    connect(m_search, &QLineEdit::returnPressed, this, &AircraftCard::runFlightSearch);
    tools->addWidget(searchButton);

    auto* group = new QGroupBox(QStringLiteral("航空機情報"), this);
    auto* grid = new QGridLayout(group);
    int row = 0;
    auto addRow = [&](const QString& label, QLabel* value) {
        grid->addWidget(new QLabel(label, group), row, 0, Qt::AlignTop);
        grid->addWidget(value, row, 1);
        ++row;
    };
    m_flight = field(group, "Label3", true);
    m_registration = field(group, "Label5", true);
    m_position = field(group, "Label7", false);
    m_departure = field(group, "Label10", false);
    m_destination = field(group, "Label11", false);
    m_aircraft = field(group, "Label13", false);
    m_remark = field(group, "Label14", false);
    m_operator = field(group, "Label15", false);
    addRow(QStringLiteral("便　　名"), m_flight);
    addRow(QStringLiteral("機体番号"), m_registration);
    addRow(QStringLiteral("位置情報"), m_position);
    addRow(QStringLiteral("出発空港"), m_departure);
    addRow(QStringLiteral("到着空港"), m_destination);
    addRow(QStringLiteral("航空機"), m_aircraft);
    addRow(QStringLiteral("備考"), m_remark);
    grid->addWidget(m_operator, row++, 1);
    grid->setColumnStretch(1, 1);
    for (QLabel* l : {m_flight, m_registration, m_position})
        l->installEventFilter(this);

    m_image = new QLabel(this);
    m_image->setObjectName(QStringLiteral("Image1"));
    m_image->setFixedSize(kPictureWidthPx, kPictureHeightPx);
    m_image->setAlignment(Qt::AlignCenter);

    auto* body = new QHBoxLayout;
    body->addWidget(group, 1);
    body->addWidget(m_image, 0, Qt::AlignTop);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(m_toolPanel);
    layout->addLayout(body);

    styleLink(m_flight, true);
    styleLink(m_registration, true);
    ResetCard();
    m_savedFrame = QPoint(settings.integer(Key::InfoLeft), settings.integer(Key::InfoTop));
    move(m_savedFrame);
    applyTopMost();
}

QLabel* AircraftCard::field(QWidget* parent, const char* name, bool link)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setMinimumWidth(160);
    label->setMaximumWidth(260);
    if (link)
        label->setCursor(Qt::PointingHandCursor);
    return label;
}

QString AircraftCard::fieldText(const char* objectName) const
{
    const auto* label = findChild<QLabel*>(QLatin1String(objectName));
    return label ? label->text() : QString();
}

void AircraftCard::ShowAircraft(int row)
{
    if (!processing() || row < 0 || row >= m_tracking.list().rowCount())
        return;
    const ListRow& r = m_tracking.list().row(row);
    const ReferenceTables& tables = m_tracking.tables();
    m_flight->setText(sjisToQString(r.cell(kColFlight)));
    m_registration->setText(sjisToQString(r.cell(kColRegistration)));
    setLong(m_departure, sjisToQString(tables.LookupAirportName(r.cell(kColDept))));
    setLong(m_destination, sjisToQString(tables.LookupAirportName(r.cell(kColDest))));
    setLong(m_remark, sjisToQString(tables.LookupAirportName(r.cell(kColRemarks))));
    setLong(m_operator, sjisToQString(tables.LookupOperatorName(r.cell(kColFlight))));
    const std::string& type = r.cell(kColAircraft);
    setLong(m_aircraft, type == "----" ? QStringLiteral("-") : sjisToQString(type));
    showPicture(r.cell(kColRegistration));
    setPosition(r.hasPosition());
}

void AircraftCard::showListAircraft(const std::string& registration, const std::string& flight)
{
    const int row = m_tracking.list().FindRow(registration, flight);
    if (row > 0)
        ShowAircraft(row - 1);
}

void AircraftCard::RefreshPosition(std::string_view registration)
{
    if (m_registration->text() != sjisToQString(registration))
        return;
    const int row = m_tracking.list().FindRow(registration, qstringToSjis(m_flight->text()));
    setPosition(row > 0 && m_tracking.list().row(row - 1).hasPosition());
}

void AircraftCard::SearchFlight(const QString& flight)
{
    m_search->setText(flight);
    runFlightSearch();
}

void AircraftCard::ResetCard()
{
    m_flight->setText(QString::fromLatin1(kNoFlight));
    m_registration->setText(QString::fromLatin1(kNoFlight));
    setLong(m_departure, QStringLiteral("----"));
    setLong(m_destination, QStringLiteral("----"));
    for (QLabel* l : {m_aircraft, m_remark, m_operator})
        setLong(l, QStringLiteral("-"));
    setPosition(false);
    const QString noImage = m_picsDir + QStringLiteral("/noimage.jpg");
    if (QFileInfo::exists(noImage)) {
        const JpegResult loaded = loadJpegFile(noImage);
        if (loaded.image.isNull())
            qCWarning(lcCard) << "cannot read" << noImage << loaded.reason;
        setPicture(loaded.image);
    }
}

void AircraftCard::runFlightSearch()
{
    const QString flight = normaliseFlightSearch(m_search->text());
    m_search->setText(flight);
    const int row = m_tracking.list().FindRowByFlight(qstringToSjis(flight));
    if (row <= 0) {
        MessageHub::information(this, QStringLiteral("リストにありません"));
        return;
    }
    Q_EMIT listRowRequested(row - 1);
}

void AircraftCard::setPosition(bool present)
{
    m_hasPosition = present;
    m_position->setText(present ? QStringLiteral("あり") : QStringLiteral("なし"));
    styleLink(m_position, present);
}

// pics/REG.jpg, else pics/noimage.jpg; a file that cannot be decoded counts
// as missing (and is logged). With neither, the area is emptied: the last
// aircraft's picture must not stand beside another registration.
void AircraftCard::showPicture(const std::string& registration)
{
    const QString own = m_tracking.tables().AircraftPicturePath(registration);
    const QString noImage = m_picsDir + QStringLiteral("/noimage.jpg");
    for (const QString& path : {own, noImage}) {
        if (path.isEmpty() || !QFileInfo::exists(path))
            continue;
        const JpegResult loaded = loadJpegFile(path);
        if (!loaded.image.isNull()) {
            setPicture(loaded.image);
            return;
        }
        qCWarning(lcCard) << "cannot read picture" << path << loaded.reason;
    }
    setPicture(QImage());
}

void AircraftCard::setPicture(const QImage& image)
{
    m_picture = image;
    if (image.isNull())
        m_image->clear();
    else
        m_image->setPixmap(QPixmap::fromImage(image));
}

void AircraftCard::applyTopMost()
{
    const bool on = m_settings.boolean(Key::ListTopMost);
    if (windowFlags().testFlag(Qt::WindowStaysOnTopHint) == on)
        return;
    const bool visible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, on);
    if (visible)
        show();
}

void AircraftCard::openUrl(const QString& url)
{
    if (url.isEmpty())
        return;
    if (urlOpener())
        urlOpener()(url);
    else
        openWebPage(url, this);
}

void AircraftCard::storeSettings()
{
    m_settings.setInteger(Key::InfoLeft, x());
    m_settings.setInteger(Key::InfoTop, y());
}

void AircraftCard::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (pos() == QPoint(0, 0))
        centreDialog(*this, m_owner);
    if (!m_savedFrame.isNull())
        keepFrameAt(*this, std::exchange(m_savedFrame, QPoint()));
    if (m_settings.boolean(Key::ListTopMost))
        raise();
}

bool AircraftCard::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_search) {
        if (event->type() == QEvent::FocusIn)
            QTimer::singleShot(0, m_search, &QLineEdit::selectAll);
        else if (event->type() == QEvent::MouseButtonRelease)
            m_search->selectAll();
    } else if (event->type() == QEvent::MouseButtonRelease) {
        if (watched == m_flight && m_flight->text() != QLatin1String(kNoFlight))
            openUrl(flightStatusUrl(qstringToSjis(m_flight->text())));
        else if (watched == m_registration && m_registration->text() != QLatin1String(kNoFlight))
            openUrl(aircraftPhotoUrl(qstringToSjis(m_registration->text())));
        else if (watched == m_position && m_hasPosition)
            Q_EMIT positionRequested(QByteArray::fromStdString(qstringToSjis(m_flight->text())));
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace varnesk
