// TForm5: toolbar panel (auto delete, delete time, log, font, colours), the
// list ListView1 and the status bar with the row count.
#include "aircraft/ui/aircraft_list_window.h"
#include "aircraft/ui/table_files.h"
#include "widgets/frame_position.h"

#include "acars/sjis.h"
#include "aircraft/ui/aircraft_list_model.h"
#include "decode/ui/text_colour_dialog.h"
#include "settings/settings_store.h"
#include "tracking/aircraft_tracking.h"
#include "widgets/centre_dialog.h"
#include "widgets/message_hub.h"
#include "widgets/tool_button.h"

#include <QFontDialog>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QSpinBox>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QUrl>

#include <algorithm>
#include <array>
#include <utility>

namespace varnesk {

namespace {

constexpr int kToolPanelHeight = 30;
constexpr int kDeleteTimeStep = 5;
constexpr std::array<Key, kListColumns> kColumnWidthKeys{
    Key::ColumnsWidth0, Key::ColumnsWidth1, Key::ColumnsWidth2, Key::ColumnsWidth3, Key::ColumnsWidth4,
    Key::ColumnsWidth5, Key::ColumnsWidth6, Key::ColumnsWidth7, Key::ColumnsWidth8, Key::ColumnsWidth9};

AircraftListWindow::FontPicker& fontPicker()
{
    static AircraftListWindow::FontPicker picker;
    return picker;
}

AircraftListWindow::UrlOpener& urlOpener()
{
    static AircraftListWindow::UrlOpener opener;
    return opener;
}

} // namespace

void AircraftListWindow::setFontPicker(FontPicker picker)
{
    fontPicker() = std::move(picker);
}

void AircraftListWindow::setUrlOpener(UrlOpener opener)
{
    urlOpener() = std::move(opener);
}

QString AircraftListWindow::flightInfoUrl(const std::string& flight)
{
    // "JL0503" is looked up as "JL503": the airline's two characters, then
    // the number without its leading zeros.
    std::string query = flight;
    if (query.size() > 2) {
        size_t digits = 2;
        while (digits + 1 < query.size() && query[digits] == '0')
            ++digits;
        query = query.substr(0, 2) + query.substr(digits);
    }
    return QLatin1String(kFlightInfoBaseUrl) + QString::fromUtf8(QUrl::toPercentEncoding(sjisToQString(query)));
}

AircraftListWindow::AircraftListWindow(SettingsStore& settings, AircraftTracking& tracking, QWidget* owner)
    : QWidget(owner, Qt::Window), m_settings(settings), m_tracking(tracking), m_owner(owner)
{
    setWindowTitle(QStringLiteral("受信航空機リスト"));

    m_toolPanel = new QWidget(this);
    m_toolPanel->setObjectName(QStringLiteral("ToolPanel"));
    int x = 2;
    auto place = [&](QWidget* w, int width) {
        w->setGeometry(x, 2, width, kToolPanelHeight - 4);
        x += width + 2;
    };
    m_autoDelete =
        makeToolButton(m_toolPanel, "SpeedButton3", QStringLiteral("自動削除"), QStringLiteral("自動削除機能"), true);
    place(m_autoDelete, 64);
    m_deleteTimeText = new QLabel(m_toolPanel);
    m_deleteTimeText->setObjectName(QStringLiteral("Panel1"));
    m_deleteTimeText->setAlignment(Qt::AlignCenter);
    m_deleteTimeText->setFrameShape(QFrame::Panel);
    m_deleteTimeText->setFrameShadow(QFrame::Sunken);
    place(m_deleteTimeText, 40);
    m_deleteTime = new QSpinBox(m_toolPanel);
    m_deleteTime->setObjectName(QStringLiteral("UpDown1"));
    m_deleteTime->setRange(kMinDeleteMinutes, kMaxDeleteMinutes);
    m_deleteTime->setSingleStep(kDeleteTimeStep);
    place(m_deleteTime, 56);
    auto* minutes = new QLabel(QStringLiteral("分"), m_toolPanel);
    place(minutes, 16);
    m_log = makeToolButton(m_toolPanel, "SpeedButton4", QStringLiteral("ログ"), QStringLiteral("ログ"), true);
    place(m_log, 40);
    auto* font = makeToolButton(m_toolPanel, "FontButton", QStringLiteral("フォント設定"),
                                QStringLiteral("フォント設定"), false);
    place(font, 84);
    auto* colours =
        makeToolButton(m_toolPanel, "ColourButton", QStringLiteral("カラー設定"), QStringLiteral("カラー設定"), false);
    place(colours, 74);

    m_model = new AircraftListModel(m_tracking.list(), this);
    m_view = new QTreeView(this);
    m_view->setObjectName(QStringLiteral("ListView1"));
    m_view->setModel(m_model);
    m_view->setRootIsDecorated(false);
    m_view->setItemsExpandable(false);
    m_view->setUniformRowHeights(true);
    m_view->setSortingEnabled(false);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->header()->setStretchLastSection(false);
    m_view->installEventFilter(this);
    for (int c = 0; c < kListColumns; ++c)
        m_view->setColumnWidth(c, std::max(0, m_settings.integer(kColumnWidthKeys[static_cast<size_t>(c)])));

    m_status = new QStatusBar(this);
    m_status->setObjectName(QStringLiteral("StatusBar1"));
    m_status->setSizeGripEnabled(false);
    m_count = new QLabel(m_status);
    m_count->setObjectName(QStringLiteral("StatusPanel1"));
    m_status->addWidget(m_count);

    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("Timer1"));
    m_timer->setInterval(1000);
    connect(m_timer, &QTimer::timeout, this, &AircraftListWindow::onAutoDeleteTick);

    m_colourDialog = new TextColourDialog(m_settings, this);

    // The switches, the delete time and the timer from the settings. A delete
    // time outside the control's range is brought into it.
    const int deleteMinutes = std::clamp(m_settings.integer(Key::DeleteTime), kMinDeleteMinutes, kMaxDeleteMinutes);
    m_settings.setInteger(Key::DeleteTime, deleteMinutes);
    m_deleteTime->setValue(deleteMinutes);
    m_deleteTimeText->setText(QString::number(deleteMinutes));
    m_autoDelete->setChecked(m_settings.boolean(Key::AutoDelete));
    m_log->setChecked(m_settings.boolean(Key::ListLog));
    if (m_autoDelete->isChecked())
        m_timer->start();
    if (m_log->isChecked())
        m_tracking.list().writeLogHeader(kListLogStartHeader);

    connect(m_autoDelete, &QToolButton::toggled, this, &AircraftListWindow::onAutoDeleteToggled);
    connect(m_deleteTime, &QSpinBox::valueChanged, this, &AircraftListWindow::onDeleteTimeChanged);
    connect(m_log, &QToolButton::toggled, this, &AircraftListWindow::onLogToggled);
    connect(font, &QToolButton::clicked, this, &AircraftListWindow::chooseFont);
    connect(colours, &QToolButton::clicked, this, &AircraftListWindow::chooseColours);
    connect(m_view, &QTreeView::doubleClicked, this, &AircraftListWindow::openFlightPage);
    connect(m_view, &QTreeView::clicked, this, [this](const QModelIndex& index) { selectRow(index.row()); });

    // After the model's own handler, so that the new row is in the view.
    connect(&m_tracking.list(), &AircraftList::rowInserted, this, [this](int row) {
        if (m_settings.boolean(Key::ShowNew))
            selectRow(row);
    });
    // The count in the status bar follows every change of the list, shown or not.
    for (auto rowSignal : {&AircraftList::rowInserted, &AircraftList::rowRemoved})
        connect(&m_tracking.list(), rowSignal, this, &AircraftListWindow::refreshCount);
    connect(&m_tracking.list(), &AircraftList::cleared, this, &AircraftListWindow::refreshCount);
    refreshCount();

    applyFontAndColours();
    resize(std::max(100, m_settings.integer(Key::ListWidth)), std::max(80, m_settings.integer(Key::ListHeight)));
    m_savedFrame = QPoint(m_settings.integer(Key::ListLeft), m_settings.integer(Key::ListTop));
    move(m_savedFrame);
}

AircraftListWindow::~AircraftListWindow() = default;

void AircraftListWindow::applyFontAndColours()
{
    QFont font(sjisToQString(m_settings.text(Key::ListFontName)));
    font.setPointSize(std::max(1, m_settings.integer(Key::ListFontSize)));
    m_view->setFont(font);
    TextColourDialog::colourWidget(m_view, settingColour(m_settings.colour(Key::ListText)),
                                   settingColour(m_settings.colour(Key::ListBack)));
}

void AircraftListWindow::storeSettings()
{
    m_settings.setInteger(Key::ListTop, y());
    m_settings.setInteger(Key::ListLeft, x());
    m_settings.setInteger(Key::ListHeight, height());
    m_settings.setInteger(Key::ListWidth, width());
    for (int c = 0; c < kListColumns; ++c)
        m_settings.setInteger(kColumnWidthKeys[static_cast<size_t>(c)], m_view->columnWidth(c));
}

void AircraftListWindow::showEvent(QShowEvent* event)
{
    // At the top-left corner (the default place) the window centres over the main window.
    if (x() == 0 && y() == 0)
        centreDialog(*this, m_owner);
    applyFontAndColours();
    refreshCount();
    QWidget::showEvent(event);
    if (!m_savedFrame.isNull())
        keepFrameAt(*this, std::exchange(m_savedFrame, QPoint()));
}

void AircraftListWindow::resizeEvent(QResizeEvent* event)
{
    const int w = width();
    const int h = height();
    m_toolPanel->setGeometry(2, 2, std::max(0, w - 4), kToolPanelHeight);
    m_view->setGeometry(5, kToolPanelHeight + 2, std::max(0, w - 10), std::max(0, h - 57));
    const int statusHeight = m_status->sizeHint().height();
    m_status->setGeometry(0, h - statusHeight, w, statusHeight);
    QWidget::resizeEvent(event);
}

void AircraftListWindow::refreshCount()
{
    m_count->setText(QString::number(m_tracking.list().rowCount()) + QStringLiteral(" contacts"));
}

void AircraftListWindow::onAutoDeleteToggled(bool on)
{
    m_settings.setBoolean(Key::AutoDelete, on);
    if (on)
        m_timer->start();
    else
        m_timer->stop();
}

void AircraftListWindow::onDeleteTimeChanged(int minutes)
{
    m_settings.setInteger(Key::DeleteTime, minutes);
    m_deleteTimeText->setText(QString::number(minutes));
}

void AircraftListWindow::onLogToggled(bool on)
{
    m_settings.setBoolean(Key::ListLog, on);
    if (on)
        m_tracking.list().writeLogHeader(kListLogSwitchHeader);
}

void AircraftListWindow::onAutoDeleteTick()
{
    m_tracking.list().autoDeleteTick(m_tracking.clock(), m_deleteTime->value());
}

void AircraftListWindow::chooseFont()
{
    const QFont initial = fontInUse(m_view->font());
    std::optional<QFont> chosen;
    if (fontPicker()) {
        chosen = fontPicker()(initial, this);
    } else {
        bool ok = false;
        const QFont font = QFontDialog::getFont(&ok, initial, this);
        if (ok)
            chosen = font;
    }
    if (!chosen)
        return;
    m_settings.setInteger(Key::ListFontSize, chosen->pointSize());
    m_settings.setText(Key::ListFontName, qstringToSjis(chosen->family()));
    m_view->setFont(*chosen);
}

void AircraftListWindow::chooseColours()
{
    m_colourDialog->run(TextColourDialog::Mode::List, this, m_view);
}

bool AircraftListWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_view && event->type() == QEvent::KeyRelease
        && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
        deleteSelectedRow();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void AircraftListWindow::deleteSelectedRow()
{
    AircraftList& list = m_tracking.list();
    const QModelIndex current = m_view->currentIndex();
    if (list.rowCount() == 0 || !current.isValid() || current.row() >= list.rowCount())
        return;
    const std::string flight = list.row(current.row()).cell(kColFlight);
    const std::string registration = list.row(current.row()).cell(kColRegistration);
    if (flight.empty())
        return;
    const QString question = sjisToQString(flight) + QStringLiteral("を消去します。よろしいですか？");
    if (!MessageHub::confirm(this, question))
        return;
    // The confirmation runs an event loop in which rows may come and go:
    // find the row again by its identity.
    const int row = list.FindRow(registration, flight);
    if (row > 0)
        list.removeRow(row - 1);
}

void AircraftListWindow::openFlightPage(const QModelIndex& index)
{
    if (!index.isValid() || index.row() >= m_tracking.list().rowCount())
        return;
    const QString url = flightInfoUrl(m_tracking.list().row(index.row()).cell(kColFlight));
    if (urlOpener())
        urlOpener()(url);
    else
        openWebPage(url, this);
}

void AircraftListWindow::selectRow(int row)
{
    if (row < 0 || row >= m_tracking.list().rowCount())
        return;
    m_view->setCurrentIndex(m_model->index(row, 0));
    const ListRow& r = m_tracking.list().row(row);
    Q_EMIT aircraftSelected(r.cell(kColRegistration), r.cell(kColFlight));
}

void AircraftListWindow::setColourDialog(TextColourDialog* dialog)
{
    if (!dialog || dialog == m_colourDialog)
        return;
    if (m_colourDialog && m_colourDialog->parent() == this)
        m_colourDialog->deleteLater();
    m_colourDialog = dialog;
}

} // namespace varnesk
