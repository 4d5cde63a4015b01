// TForm10: toolbar actions, showing, placement and the refresh of the text area.
#include "decode/ui/text_window.h"

#include "acars/sjis.h"
#include "decode/received_text.h"
#include "decode/ui/text_colour_dialog.h"
#include "settings/settings_store.h"
#include "widgets/centre_dialog.h"
#include "widgets/tool_button.h"

#include <QButtonGroup>
#include <QFontDialog>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>
#include <QTimer>
#include <QToolButton>

namespace varnesk {

namespace {

constexpr int kMinWidth = 300;
constexpr int kMinHeight = 100;
constexpr int kBarHeight = 27;
constexpr int kMargin = 2;
// The text area is refilled at most this often while blocks arrive.
constexpr int kRefreshMs = 100;

} // namespace

TextWindow::TextWindow(SettingsStore& settingsStore, ReceivedText& text, QWidget* owner, QWidget* parent)
    : QWidget(parent, Qt::Window), m_settings(settingsStore), m_received(text), m_owner(owner)
{
    setWindowTitle(QStringLiteral("受信テキスト表示"));
    setMinimumSize(kMinWidth, kMinHeight);

    m_bar = new QWidget(this);
    m_bar->setObjectName(QStringLiteral("ToolBar1"));
    auto* barLayout = new QHBoxLayout(m_bar);
    barLayout->setContentsMargins(0, 0, 0, 0);
    barLayout->setSpacing(1);

    m_viewGroup = new QButtonGroup(this);
    m_logNameGroup = new QButtonGroup(this);
    SettingsStore& settings = m_settings;

    const QString viewLabels[] = {QStringLiteral("RAW"), QStringLiteral("PRC"), QStringLiteral("MES")};
    const QString viewHints[] = {QStringLiteral("RAW生データ表示"), QStringLiteral("PRC処理データ表示"),
                                 QStringLiteral("MESメッセージ表示")};
    for (int i = 0; i < 3; ++i)
        m_viewGroup->addButton(addButton(i + 1, viewLabels[i], viewHints[i], true), i);
    m_logButton = addButton(4, QStringLiteral("ログ"), QStringLiteral("ログ"), true);
    const QString nameLabels[] = {QStringLiteral("全"), QStringLiteral("便"), QStringLiteral("登")};
    const QString nameHints[] = {QStringLiteral("そのまま保存"), QStringLiteral("便名別に保存"),
                                 QStringLiteral("登録番号別に保存")};
    for (int i = 0; i < 3; ++i)
        m_logNameGroup->addButton(addButton(i + 6, nameLabels[i], nameHints[i], true), i);
    m_topButton = addButton(5, QStringLiteral("前"), QStringLiteral("常に手前に表示"), true);
    QToolButton* fontButton = addButton(9, QStringLiteral("F"), QStringLiteral("フォント設定"), false);
    QToolButton* colourButton = addButton(10, QStringLiteral("C"), QStringLiteral("カラー設定"), false);
    barLayout->addStretch();

    m_text = new QPlainTextEdit(this);
    m_text->setObjectName(QStringLiteral("Memo1"));
    m_text->setReadOnly(true);
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_text->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_text->setUndoRedoEnabled(false);

    // Buttons from the settings: any view other than PRC or MES shows RAW.
    const int txtType = settings.integer(Key::TxtType);
    m_viewGroup->button(txtType == 1 || txtType == 2 ? txtType : 0)->setChecked(true);
    const int logType = settings.integer(Key::TxtLogType);
    m_logNameGroup->button(logType == 1 || logType == 2 ? logType : 0)->setChecked(true);
    m_logButton->setChecked(settings.boolean(Key::TxtLog));
    m_topButton->setChecked(settings.boolean(Key::TextTopMost));
    setLogButtons();

    connect(m_viewGroup, &QButtonGroup::idClicked, this, [this](int id) { m_settings.setInteger(Key::TxtType, id); });
    connect(m_logNameGroup, &QButtonGroup::idClicked, this,
            [this](int id) { m_settings.setInteger(Key::TxtLogType, id); });
    connect(m_logButton, &QToolButton::clicked, this, [this](bool on) {
        m_settings.setBoolean(Key::TxtLog, on);
        if (on)
            m_received.WriteLogStart(false);
        setLogButtons();
    });
    connect(m_topButton, &QToolButton::clicked, this, [this](bool on) {
        m_settings.setBoolean(Key::TextTopMost, on);
        applyTopMost();
    });
    connect(fontButton, &QToolButton::clicked, this, &TextWindow::chooseFont);
    m_colourDialog = new TextColourDialog(settings, this);
    connect(colourButton, &QToolButton::clicked, this,
            [this] { m_colourDialog->run(TextColourDialog::Mode::Text, this, m_text); });

    m_timer = new QTimer(this);
    m_timer->setInterval(kRefreshMs);
    connect(m_timer, &QTimer::timeout, this, [this] {
        if (isVisible() && m_textChanged)
            refreshText();
    });
    m_timer->start();

    move(settings.integer(Key::TextLeft), settings.integer(Key::TextTop));
    resize(std::max(kMinWidth, settings.integer(Key::TextWidth)),
           std::max(kMinHeight, settings.integer(Key::TextHeight)));
    applyTopMost();
    applyFont();
    applyTextColours();
    refreshText();
}

QToolButton* TextWindow::addButton(int number, const QString& label, const QString& hint, bool checkable)
{
    QToolButton* b = makeToolButton(m_bar, QStringLiteral("SpeedButton%1").arg(number), label, hint, checkable);
    b->setFixedHeight(25);
    b->setMinimumWidth(25);
    m_bar->layout()->addWidget(b);
    return b;
}

void TextWindow::setColourDialog(TextColourDialog* dialog)
{
    if (!dialog || dialog == m_colourDialog)
        return;
    if (m_colourDialog && m_colourDialog->parent() == this)
        m_colourDialog->deleteLater();
    m_colourDialog = dialog;
}

void TextWindow::setLogButtons()
{
    const bool on = m_logButton->isChecked();
    for (QAbstractButton* b : m_logNameGroup->buttons())
        b->setEnabled(on);
}

void TextWindow::applyTopMost()
{
    const bool on = m_settings.boolean(Key::TextTopMost);
    if (testAttribute(Qt::WA_WState_Created) && windowFlags().testFlag(Qt::WindowStaysOnTopHint) == on)
        return;
    const bool visible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, on);
    if (visible)
        show();
}

void TextWindow::applyFont()
{
    const SettingsStore& s = m_settings;
    QFont font(sjisToQString(s.text(Key::TextFontName)));
    font.setPointSize(std::max(1, s.integer(Key::TextFontSize)));
    font.setStyleHint(QFont::TypeWriter);
    m_text->setFont(font);
}

void TextWindow::applyTextColours()
{
    const SettingsStore& s = m_settings;
    TextColourDialog::colourWidget(m_text, settingColour(s.colour(Key::TextText)),
                                   settingColour(s.colour(Key::TextBack)));
}

void TextWindow::applyDisplayColours()
{
    const SettingsStore& s = m_settings;
    TextColourDialog::colourWidget(m_text, settingColour(s.colour(Key::OnColor)),
                                   settingColour(s.colour(Key::BackColor)));
}

void TextWindow::chooseFont()
{
    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, fontInUse(m_text->font()), this);
    if (!ok)
        return;
    m_text->setFont(chosen);
    m_settings.setInteger(Key::TextFontSize, chosen.pointSize());
    m_settings.setText(Key::TextFontName, qstringToSjis(chosen.family()));
}

void TextWindow::refreshText()
{
    m_textChanged = false;
    m_text->setPlainText(sjisToQString(m_received.windowText()));
    // The newest entry is at the end: show it, from its first column.
    m_text->moveCursor(QTextCursor::End);
    m_text->verticalScrollBar()->setValue(m_text->verticalScrollBar()->maximum());
    m_text->horizontalScrollBar()->setValue(0);
}

void TextWindow::showEvent(QShowEvent* event)
{
    if (x() == 0 && y() == 0)
        centreDialog(*this, m_owner);
    applyTopMost();
    applyFont();
    applyTextColours();
    refreshText();
    QWidget::showEvent(event);
}

void TextWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    const int w = width() - 2 * kMargin;
    m_bar->setGeometry(kMargin, kMargin, w, kBarHeight);
    m_text->setGeometry(kMargin, kMargin + kBarHeight + kMargin, w, height() - (kBarHeight + 2 * kMargin));
    if (isVisible()) {
        m_settings.setInteger(Key::TextWidth, width());
        m_settings.setInteger(Key::TextHeight, height());
    }
}

void TextWindow::moveEvent(QMoveEvent* event)
{
    QWidget::moveEvent(event);
    if (isVisible()) {
        m_settings.setInteger(Key::TextLeft, x());
        m_settings.setInteger(Key::TextTop, y());
    }
}

} // namespace varnesk
