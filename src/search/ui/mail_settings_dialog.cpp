// TForm7: two groups of fields, OK and キャンセル.
#include "search/ui/mail_settings_dialog.h"

#include "acars/sjis.h"
#include "search/smtp_client.h"
#include "search/ui/sjis_length_validator.h"
#include "settings/settings_store.h"
#include "widgets/centre_dialog.h"
#include "widgets/dialog_buttons.h"
#include "widgets/message_hub.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

namespace varnesk {

namespace {

QLineEdit* field(QWidget* parent, const char* name)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setValidator(new SjisLengthValidator(kMailAddressBytes, edit));
    return edit;
}

} // namespace

MailSettingsDialog::MailSettingsDialog(SettingsStore& settings, QWidget* parent) : QDialog(parent), m_settings(settings)
{
    setWindowTitle(QStringLiteral("メール設定"));
    setModal(true);

    auto* source = new QGroupBox(QStringLiteral("送信元設定"), this);
    source->setObjectName(QStringLiteral("GroupBox1"));
    m_host = field(source, "Edit1");
    m_from = field(source, "Edit3");
    auto* sourceForm = new QFormLayout(source);
    m_port = new QSpinBox(source);
    m_port->setObjectName(QStringLiteral("PortEdit"));
    m_port->setRange(1, 65535);
    m_tls = new QCheckBox(QStringLiteral("STARTTLS"), source);
    m_tls->setObjectName(QStringLiteral("TlsCheck"));
    auto* portRow = new QHBoxLayout;
    portRow->addWidget(m_port);
    portRow->addWidget(m_tls);
    portRow->addStretch();
    m_auth = new QComboBox(source);
    m_auth->setObjectName(QStringLiteral("AuthCombo"));
    m_auth->addItems({QStringLiteral("なし"), QStringLiteral("PLAIN"), QStringLiteral("LOGIN")});
    m_user = field(source, "UserEdit");
    m_password = field(source, "PasswordEdit");
    m_password->setEchoMode(QLineEdit::Password);
    sourceForm->addRow(QStringLiteral("SMTPサーバー"), m_host);
    sourceForm->addRow(QStringLiteral("ポート番号"), portRow);
    sourceForm->addRow(QStringLiteral("認証"), m_auth);
    sourceForm->addRow(QStringLiteral("ユーザー名"), m_user);
    sourceForm->addRow(QStringLiteral("パスワード"), m_password);
    sourceForm->addRow(QStringLiteral("メールアドレス"), m_from);
    // The login fields mean something only with a login.
    auto loginShown = [this] {
        const bool login = m_auth->currentIndex() != 0;
        m_user->setEnabled(login);
        m_password->setEnabled(login);
    };
    connect(m_auth, &QComboBox::currentIndexChanged, this, loginShown);

    auto* target = new QGroupBox(QStringLiteral("送信先設定"), this);
    target->setObjectName(QStringLiteral("GroupBox2"));
    m_to = field(target, "Edit4");
    auto* targetForm = new QFormLayout(target);
    targetForm->addRow(QStringLiteral("メールアドレス"), m_to);

    QHBoxLayout* buttons = makeOkCancelRow(*this, "Button1", "Button2").layout;

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(source);
    layout->addWidget(target);
    layout->addLayout(buttons);
    resize(360, 320);
    fill();
}

void MailSettingsDialog::fill()
{
    m_host->setText(sjisToQString(m_settings.text(Key::MailHost)));
    m_from->setText(sjisToQString(m_settings.text(Key::MailFrom)));
    m_to->setText(sjisToQString(m_settings.text(Key::MailTo)));
    const int port = m_settings.integer(Key::MailPort);
    m_port->setValue(port >= 1 && port <= 65535 ? port : 25);
    m_tls->setChecked(m_settings.boolean(Key::MailTls));
    m_auth->setCurrentIndex(std::clamp(m_settings.integer(Key::MailAuth), 0, 2));
    m_user->setText(sjisToQString(m_settings.text(Key::MailUser)));
    m_password->setText(sjisToQString(m_settings.text(Key::MailPass)));
    const bool login = m_auth->currentIndex() != 0;
    m_user->setEnabled(login);
    m_password->setEnabled(login);
}

void MailSettingsDialog::accept()
{
    const std::pair<QLineEdit*, const char*> required[] = {
        {m_host, "メールホストが空欄がです"},
        {m_from, "送信元メールアドレスが空欄がです"},
        {m_to, "送信先メールアドレスが空欄がです"},
    };
    for (const auto& [edit, message] : required) {
        if (edit->text().isEmpty()) {
            MessageHub::error(this, QString::fromUtf8(message));
            Q_EMIT mailConfigured(false);
            edit->setFocus();
            return;
        }
    }
    m_settings.setText(Key::MailHost, qstringToSjis(m_host->text()));
    m_settings.setText(Key::MailFrom, qstringToSjis(m_from->text()));
    m_settings.setText(Key::MailTo, qstringToSjis(m_to->text()));
    m_settings.setInteger(Key::MailPort, m_port->value());
    m_settings.setBoolean(Key::MailTls, m_tls->isChecked());
    m_settings.setInteger(Key::MailAuth, m_auth->currentIndex());
    m_settings.setText(Key::MailUser, qstringToSjis(m_user->text()));
    m_settings.setText(Key::MailPass, qstringToSjis(m_password->text()));
    Q_EMIT mailConfigured(true);
    QDialog::accept();
}

void MailSettingsDialog::reject()
{
    fill();
    QDialog::reject();
}

void MailSettingsDialog::showEvent(QShowEvent* event)
{
    centreDialog(*this, m_centreOver ? m_centreOver : parentWidget());
    QDialog::showEvent(event);
}

} // namespace varnesk
