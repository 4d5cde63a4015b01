// TForm14: fields filled from the settings at every showing.
#include "net/ui/connect_dialog.h"

#include "acars/sjis.h"
#include "net/net_link.h"
#include "settings/settings_store.h"
#include "widgets/centre_dialog.h"
#include "widgets/dialog_buttons.h"
#include "widgets/message_hub.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace varnesk {

namespace {

const QString kPortRange = QStringLiteral("ポート番号は49152～65535の間です");
const QString kPortNotNumber = QStringLiteral("ポート番号は数字で入力してください（49152～65535）");

} // namespace

ConnectDialog::ConnectDialog(SettingsStore& settings, QWidget* owner)
    : QDialog(owner), m_settings(settings), m_owner(owner)
{
    setWindowTitle(QStringLiteral("IP接続"));
    setModal(true);

    m_server = new QLineEdit(this);
    m_server->setObjectName(QStringLiteral("Edit1"));
    m_server->setMinimumWidth(220);
    m_port = new QLineEdit(this);
    m_port->setObjectName(QStringLiteral("Edit2"));
    m_reconnect = new QCheckBox(QStringLiteral("切断された場合は自動的に再接続する"), this);
    m_reconnect->setObjectName(QStringLiteral("CheckBox1"));
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("接続先"), m_server);
    form->addRow(QStringLiteral("ポート番号"), m_port);

    QHBoxLayout* buttons = makeOkCancelRow(*this, "Button1", "Button2").layout;

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_reconnect);
    layout->addLayout(buttons);
}

void ConnectDialog::showEvent(QShowEvent* event)
{
    m_server->setText(sjisToQString(m_settings.text(Key::ServerName)));
    m_port->setText(sjisToQString(m_settings.text(Key::ClientPortNo)));
    m_reconnect->setChecked(m_settings.boolean(Key::Reconnect));
    QDialog::showEvent(event);
    if (m_owner)
        centreDialog(*this, m_owner);
}

void ConnectDialog::accept()
{
    const std::optional<int> port = ParsePortText(qstringToSjis(m_port->text()));
    if (!port) {
        MessageHub::warningQuiet(this, kPortNotNumber);
        return;
    }
    if (*port < kMinPort || *port > kMaxPort) {
        MessageHub::warningQuiet(this, kPortRange);
        return;
    }
    m_settings.setText(Key::ServerName, qstringToSjis(m_server->text().trimmed()));
    m_settings.setText(Key::ClientPortNo, std::to_string(*port));
    m_settings.setBoolean(Key::Reconnect, m_reconnect->isChecked());
    QDialog::accept();
}

} // namespace varnesk
