// TForm2: tool buttons, the list, the hit panel, the hit log box and the
// status bar; all state lives in the SearchWatch and the settings.
#include "search/ui/search_window.h"
#include "widgets/frame_position.h"
#include "widgets/modal_over.h"

#include "acars/sjis.h"
#include "search/search_watch.h"
#include "search/ui/mail_settings_dialog.h"
#include "search/ui/search_entry_dialog.h"
#include "settings/settings_store.h"
#include "widgets/centre_dialog.h"
#include "widgets/message_hub.h"
#include "widgets/tool_button.h"

#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSoundEffect>
#include <QSpinBox>
#include <QStatusBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <utility>

#include <algorithm>

namespace varnesk {

namespace {

SearchWindow::SoundPlayer& soundPlayer()
{
    static SearchWindow::SoundPlayer player;
    return player;
}

QLabel* panel(QWidget* parent, const char* name)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setFrameShape(QFrame::Panel);
    label->setFrameShadow(QFrame::Sunken);
    label->setTextFormat(Qt::PlainText);
    label->setMinimumWidth(70);
    return label;
}

// The status bar holds one line: the line ends of server replies go.
QString statusLine(const std::string& text)
{
    QString line = sjisToQString(text);
    line.remove(QLatin1Char('\r'));
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return line.trimmed();
}

} // namespace

void SearchWindow::setSoundPlayer(SoundPlayer player)
{
    soundPlayer() = std::move(player);
}

SearchWindow::SearchWindow(SearchWatch& watch, SettingsStore& settings, QWidget* owner)
    : QWidget(owner, Qt::Window), m_watch(watch), m_settings(settings), m_owner(owner)
{
    setWindowTitle(QStringLiteral("航空機サーチ"));

    auto* tools = new QWidget(this);
    tools->setObjectName(QStringLiteral("ToolPanel"));
    m_add = makeToolButton(tools, "SpeedButton4", QStringLiteral("新規追加"), QStringLiteral("新規追加"), false);
    m_edit = makeToolButton(tools, "SpeedButton3", QStringLiteral("編集"), QStringLiteral("編集"), false);
    m_delete = makeToolButton(tools, "SpeedButton2", QStringLiteral("削除"), QStringLiteral("削除"), false);
    m_mailSetup = makeToolButton(tools, "SpeedButton5", QStringLiteral("メール通知設定"),
                                 QStringLiteral("メール通知設定"), false);
    m_mail = makeToolButton(tools, "SpeedButton1", QStringLiteral("メール"), QStringLiteral("メール通知"), true);
    m_testMail =
        makeToolButton(tools, "SpeedButton6", QStringLiteral("テスト"), QStringLiteral("テストメール送信"), false);
    m_popUp = makeToolButton(tools, "SpeedButton7", QStringLiteral("ポップアップ"),
                             QStringLiteral("受信時にポップアップ"), true);
    m_sound = makeToolButton(tools, "SpeedButton8", QStringLiteral("サウンド"),
                             QStringLiteral("受信時にサウンドを鳴らす"), true);
    m_log = makeToolButton(tools, "SpeedButton9", QStringLiteral("ログ"), QStringLiteral("ログ"), true);
    auto* toolRow = new QHBoxLayout(tools);
    toolRow->setContentsMargins(2, 2, 2, 2);
    toolRow->setSpacing(2);
    // Beside the mail switch: the minutes a registration's mail and chime
    // wait before the same registration may raise them again.
    m_mailHold = new QSpinBox(tools);
    m_mailHold->setObjectName(QStringLiteral("MailHoldEdit"));
    m_mailHold->setRange(0, 1440);
    m_mailHold->setSuffix(QStringLiteral("分"));
    m_mailHold->setToolTip(QStringLiteral("同じ機体のメールとサウンドを控える時間"));
    m_mailHold->setValue(std::clamp(settings.integer(Key::MailHold), 0, 1440));
    connect(m_mailHold, &QSpinBox::valueChanged, this,
            [&settings](int minutes) { settings.setInteger(Key::MailHold, minutes); });
    for (QToolButton* b : {m_add, m_edit, m_delete, m_mailSetup, m_mail})
        toolRow->addWidget(b);
    toolRow->addWidget(m_mailHold);
    for (QToolButton* b : {m_testMail, m_popUp, m_sound, m_log})
        toolRow->addWidget(b);
    toolRow->addStretch();

    auto* listGroup = new QGroupBox(QStringLiteral("サーチ航空機登録リスト"), this);
    listGroup->setObjectName(QStringLiteral("GroupBox1"));
    m_list = new QTreeWidget(listGroup);
    m_list->setObjectName(QStringLiteral("ListView1"));
    m_list->setColumnCount(4);
    m_list->setHeaderLabels(
        {QStringLiteral("Search"), QStringLiteral("Hit"), QStringLiteral("LastTime"), QStringLiteral("Remarks")});
    m_list->setRootIsDecorated(false);
    m_list->setItemsExpandable(false);
    m_list->setUniformRowHeights(true);
    m_list->setSortingEnabled(false);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setColumnWidth(0, 70);
    m_list->setColumnWidth(1, 70);
    m_list->setColumnWidth(2, 70);
    m_list->viewport()->installEventFilter(this);
    (new QVBoxLayout(listGroup))->addWidget(m_list);

    auto* hitGroup = new QGroupBox(QStringLiteral("サーチ航空機新規受信状況"), this);
    hitGroup->setObjectName(QStringLiteral("GroupBox2"));
    m_registration = panel(hitGroup, "Panel1");
    m_flight = panel(hitGroup, "Panel2");
    m_remark = panel(hitGroup, "Panel3");
    auto* hitGrid = new QGridLayout(hitGroup);
    hitGrid->addWidget(new QLabel(QStringLiteral("機体番号"), hitGroup), 0, 0);
    hitGrid->addWidget(m_registration, 0, 1);
    hitGrid->addWidget(new QLabel(QStringLiteral("便名"), hitGroup), 0, 2);
    hitGrid->addWidget(m_flight, 0, 3);
    hitGrid->addWidget(new QLabel(QStringLiteral("備考"), hitGroup), 1, 0);
    hitGrid->addWidget(m_remark, 1, 1, 1, 3);

    auto* memoGroup = new QGroupBox(QStringLiteral("受信記録"), this);
    memoGroup->setObjectName(QStringLiteral("GroupBox3"));
    m_memo = new QPlainTextEdit(memoGroup);
    m_memo->setObjectName(QStringLiteral("Memo1"));
    m_memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_memo->installEventFilter(this);
    m_memo->viewport()->installEventFilter(this);
    (new QVBoxLayout(memoGroup))->addWidget(m_memo);

    m_status = new QStatusBar(this);
    m_status->setObjectName(QStringLiteral("StatusBar1"));
    m_status->setSizeGripEnabled(false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 0);
    layout->setSpacing(2);
    layout->addWidget(tools);
    layout->addWidget(listGroup, 3);
    layout->addWidget(hitGroup);
    layout->addWidget(memoGroup, 2);
    layout->addWidget(m_status);
    resize(460, 480);

    // Switches from the settings; mail only with server and both addresses.
    const bool configured = m_watch.mailConfigured();
    setMailButtons(configured);
    m_mail->setChecked(configured && m_watch.mailSend());
    m_popUp->setChecked(m_watch.popUp());
    m_sound->setChecked(m_watch.sound());
    m_log->setChecked(m_watch.log());
    setRowButtons(false);
    rebuildList();
    onHitLogChanged();
    if (!m_watch.mailStatus().empty())
        m_status->showMessage(statusLine(m_watch.mailStatus()));

    connect(m_mail, &QToolButton::toggled, this, [this](bool on) { m_watch.setMailSend(on); });
    connect(m_popUp, &QToolButton::toggled, this, [this](bool on) { m_watch.setPopUp(on); });
    connect(m_sound, &QToolButton::toggled, this, [this](bool on) { m_watch.setSound(on); });
    connect(m_log, &QToolButton::toggled, this, [this](bool on) { m_watch.setLog(on); });
    // These controls take the selection's buttons away, as the list alone gives them.
    for (QToolButton* b : {m_mailSetup, m_popUp, m_sound})
        connect(b, &QToolButton::clicked, this, [this] { setRowButtons(false); });
    connect(m_add, &QToolButton::clicked, this, &SearchWindow::addRow);
    connect(m_edit, &QToolButton::clicked, this, &SearchWindow::editRow);
    connect(m_delete, &QToolButton::clicked, this, &SearchWindow::deleteRow);
    connect(m_mailSetup, &QToolButton::clicked, this, &SearchWindow::openMailSettings);
    connect(m_testMail, &QToolButton::clicked, this, &SearchWindow::sendTestMail);
    connect(m_list, &QTreeWidget::itemClicked, this, [this] { updateRowButtons(); });
    connect(m_memo, &QPlainTextEdit::textChanged, this, &SearchWindow::onHitLogEdited);

    connect(&m_watch, &SearchWatch::hitFound, this, &SearchWindow::onHit);
    connect(&m_watch, &SearchWatch::hitLogChanged, this, &SearchWindow::onHitLogChanged);
    connect(&m_watch, &SearchWatch::listChanged, this, &SearchWindow::rebuildList);
    connect(&m_watch, &SearchWatch::rowChanged, this, &SearchWindow::updateRow);
    connect(&m_watch, &SearchWatch::mailStatusChanged, this,
            [this](const std::string& text) { m_status->showMessage(statusLine(text)); });
    connect(&m_watch, &SearchWatch::mailSendingChanged, this, [this](bool sending) { setMailButtons(!sending); });

    m_savedFrame = QPoint(m_settings.integer(Key::PlaneLeft), m_settings.integer(Key::PlaneTop));
    move(m_savedFrame);
}

SearchWindow::~SearchWindow() = default;

void SearchWindow::setEntryDialog(SearchEntryDialog* dialog)
{
    m_entryDialog = dialog;
    if (dialog)
        dialog->setCentreOver(this);
}

void SearchWindow::setMailSettingsDialog(MailSettingsDialog* dialog)
{
    if (m_mailDialog)
        m_mailDialog->disconnect(this);
    m_mailDialog = dialog;
    if (!dialog)
        return;
    dialog->setCentreOver(this);
    connect(dialog, &MailSettingsDialog::mailConfigured, this, &SearchWindow::setMailButtons);
}

SearchEntryDialog* SearchWindow::entryDialog()
{
    if (!m_entryDialog)
        setEntryDialog(new SearchEntryDialog(m_watch, this));
    return m_entryDialog;
}

MailSettingsDialog* SearchWindow::mailSettingsDialog()
{
    if (!m_mailDialog)
        setMailSettingsDialog(new MailSettingsDialog(m_settings, this));
    return m_mailDialog;
}

void SearchWindow::storeSettings()
{
    m_settings.setInteger(Key::PlaneTop, y());
    m_settings.setInteger(Key::PlaneLeft, x());
    m_settings.setBoolean(Key::FormSpec, isVisible());
}

void SearchWindow::showEvent(QShowEvent* event)
{
    // At the top-left corner (the default place) the window centres over the main window.
    if (x() == 0 && y() == 0 && m_owner)
        centreDialog(*this, m_owner);
    QWidget::showEvent(event);
    if (!m_savedFrame.isNull())
        keepFrameAt(*this, std::exchange(m_savedFrame, QPoint()));
}

bool SearchWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonRelease && watched == m_list->viewport())
        updateRowButtons(); // a click beside the rows as well
    if (event->type() == QEvent::MouseButtonPress && (watched == m_memo || watched == m_memo->viewport()))
        setRowButtons(false);
    return QWidget::eventFilter(watched, event);
}

void SearchWindow::onHit(const SearchHit& hit)
{
    if (hit.popUp && !isVisible()) {
        show();
        raise();
    }
    if (!hit.alertSound.isEmpty())
        playSound(hit.alertSound);
    m_registration->setText(sjisToQString(hit.registration));
    m_flight->setText(sjisToQString(hit.flight));
    m_remark->setText(sjisToQString(hit.remark));
}

void SearchWindow::playSound(const QString& path)
{
    if (soundPlayer()) {
        soundPlayer()(path);
        return;
    }
    if (!m_effect) {
        m_effect = new QSoundEffect(this);
        m_effect->setObjectName(QStringLiteral("AlertSound"));
    }
    const QUrl source = QUrl::fromLocalFile(path);
    if (m_effect->source() != source)
        m_effect->setSource(source);
    m_effect->stop();
    m_effect->play();
}

void SearchWindow::onHitLogChanged()
{
    m_settingMemo = true;
    m_memo->setPlainText(sjisToQString(m_watch.hitLog()));
    m_memo->verticalScrollBar()->setValue(m_memo->verticalScrollBar()->maximum());
    m_settingMemo = false;
}

void SearchWindow::onHitLogEdited()
{
    if (!m_settingMemo)
        m_watch.setHitLog(qstringToSjis(m_memo->toPlainText()));
}

void SearchWindow::rebuildList()
{
    m_list->clear();
    const std::vector<SearchRow>& rows = m_watch.rows();
    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<qsizetype>(rows.size()));
    for (size_t i = 0; i < rows.size(); ++i)
        items.append(new QTreeWidgetItem(QStringList(4, QString())));
    m_list->addTopLevelItems(items);
    for (size_t i = 0; i < rows.size(); ++i)
        updateRow(static_cast<int>(i));
    setRowButtons(false);
}

void SearchWindow::updateRow(int index)
{
    QTreeWidgetItem* item = m_list->topLevelItem(index);
    if (!item || index < 0 || static_cast<size_t>(index) >= m_watch.rows().size())
        return;
    const SearchRow& row = m_watch.rows()[static_cast<size_t>(index)];
    item->setText(0, sjisToQString(row.pattern));
    item->setText(1, sjisToQString(row.hit));
    item->setText(2, sjisToQString(row.lastTime));
    item->setText(3, sjisToQString(row.remark));
}

int SearchWindow::selectedRow() const
{
    const QList<QTreeWidgetItem*> selected = m_list->selectedItems();
    return selected.isEmpty() ? -1 : m_list->indexOfTopLevelItem(selected.first());
}

void SearchWindow::setRowButtons(bool enabled)
{
    m_delete->setEnabled(enabled);
    m_edit->setEnabled(enabled);
}

void SearchWindow::updateRowButtons()
{
    setRowButtons(selectedRow() >= 0);
}

void SearchWindow::setMailButtons(bool enabled)
{
    m_mail->setEnabled(enabled);
    m_testMail->setEnabled(enabled);
}

void SearchWindow::addRow()
{
    entryDialog()->openAdd();
}

void SearchWindow::editRow()
{
    const int row = selectedRow();
    if (row < 0) {
        MessageHub::error(this, QStringLiteral("削除項目が選択されていません"));
        return;
    }
    entryDialog()->openEdit(row);
}

void SearchWindow::deleteRow()
{
    const int row = selectedRow();
    if (row < 0) {
        MessageHub::error(this, QStringLiteral("削除項目が選択されていません"));
        return;
    }
    if (!MessageHub::confirm(this, QStringLiteral("消去します。よろしいですか？")))
        return;
    m_watch.removeSearchRow(row);
    setRowButtons(false);
}

void SearchWindow::openMailSettings()
{
    execOver(*mailSettingsDialog(), this);
}

void SearchWindow::sendTestMail()
{
    setRowButtons(false);
    setMailButtons(false);
    m_watch.sendTestMail();
}

} // namespace varnesk
