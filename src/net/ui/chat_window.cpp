// TForm12: fixed control places that follow the window's size.
#include "net/ui/chat_window.h"

#include "acars/sjis.h"
#include "net/chat_lines.h"
#include "net/net_link.h"
#include "net/network_sharing.h"
#include "settings/settings_store.h"
#include "widgets/centre_dialog.h"
#include "widgets/message_hub.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>

namespace varnesk {

namespace {

const QString kEmptyName = QStringLiteral("お名前欄が空白です");
const QString kEmptyText = QStringLiteral("送信文字が空白です");
const QString kBadCharacter = QStringLiteral("お名前・送信文字に送信できない制御文字が含まれています");
const QString kTooLong = QStringLiteral("お名前と送信文字が長すぎます");

// Rows of the window: name and button, text, then the log.
constexpr int kRow1 = 8;
constexpr int kRow2 = 36;
constexpr int kLogTop = 66;
constexpr int kFieldHeight = 24;

} // namespace

ChatWindow::ChatWindow(SettingsStore& settings, NetworkSharing& network, NetLink& link, QWidget* owner)
    : QWidget(owner, Qt::Window), m_network(network), m_link(link), m_owner(owner)
{
    setWindowTitle(QStringLiteral("チャット画面"));

    m_nameLabel = new QLabel(QStringLiteral("お名前"), this);
    m_textLabel = new QLabel(QStringLiteral("送信文字"), this);
    m_name = new QLineEdit(this);
    m_name->setObjectName(QStringLiteral("Edit1"));
    m_name->setText(sjisToQString(settings.text(Key::Name)));
    m_text = new QLineEdit(this);
    m_text->setObjectName(QStringLiteral("Edit2"));
    m_send = new QPushButton(QStringLiteral("送信"), this);
    m_send->setObjectName(QStringLiteral("Button1"));
    m_log = new QPlainTextEdit(this);
    m_log->setObjectName(QStringLiteral("Memo1"));
    m_log->setReadOnly(true);
    m_log->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    connect(m_send, &QPushButton::clicked, this, &ChatWindow::send);
    connect(m_text, &QLineEdit::returnPressed, this, &ChatWindow::send);
    connect(&m_network, &NetworkSharing::chatLineAdded, this, [this] { refillLog(); });
    resize(420, 300);
}

void ChatWindow::refillLog()
{
    // Plain text only: whatever a peer sends is never read as markup.
    m_log->setPlainText(sjisToQString(m_network.chatHistory()));
    m_log->verticalScrollBar()->setValue(m_log->verticalScrollBar()->maximum());
}

void ChatWindow::send()
{
    const std::string name = qstringToSjis(m_name->text());
    const std::string text = qstringToSjis(m_text->text());
    switch (m_link.sendChat(name, text)) {
    case ChatCheck::Ok:
        m_text->clear();
        return;
    case ChatCheck::EmptyName:
        MessageHub::warning(this, kEmptyName);
        return;
    case ChatCheck::EmptyText:
        MessageHub::warning(this, kEmptyText);
        return;
    case ChatCheck::BadCharacter:
        MessageHub::warning(this, kBadCharacter);
        return;
    case ChatCheck::TooLong:
        MessageHub::warning(this, kTooLong);
        return;
    }
}

void ChatWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_owner)
        centreDialog(*this, m_owner);
    refillLog();
}

void ChatWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    const int cw = width();
    const int ch = height();
    m_nameLabel->setGeometry(8, kRow1 + 4, 48, 16);
    m_name->setGeometry(56, kRow1, std::max(0, cw - 157), kFieldHeight);
    m_send->setGeometry(cw - 89, kRow1, 80, kFieldHeight);
    m_textLabel->setGeometry(8, kRow2 + 4, 54, 16);
    m_text->setGeometry(62, kRow2, std::max(0, cw - 70), kFieldHeight);
    m_log->setGeometry(3, kLogTop, std::max(0, cw - 7), std::max(0, ch - 69));
}

} // namespace varnesk
