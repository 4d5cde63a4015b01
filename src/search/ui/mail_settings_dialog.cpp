// TForm7: two groups of fields, OK and キャンセル.
#include "search/ui/mail_settings_dialog.h"

#include "acars/sjis.h"
#include "widgets/dialog_buttons.h"
#include "widgets/message_hub.h"
#include "search/smtp_client.h"
#include "widgets/centre_dialog.h"
#include "search/ui/sjis_length_validator.h"
#include "settings/settings_store.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

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

MailSettingsDialog::MailSettingsDialog(SettingsStore& settings, QWidget* parent)
    : QDialog(parent), m_settings(settings)
{
    setWindowTitle(QStringLiteral("メール設定"));
    setModal(true);

    auto* source = new QGroupBox(QStringLiteral("送信元設定"), this);
    source->setObjectName(QStringLiteral("GroupBox1"));
    m_host = field(source, "Edit1");
    m_from = field(source, "Edit3");
    auto* sourceForm = new QFormLayout(source);
    sourceForm->addRow(QStringLiteral("SMTPサーバー"), m_host);
    sourceForm->addRow(QStringLiteral("メールアドレス"), m_from);

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
    resize(340, 200);
    fill();
}

void MailSettingsDialog::fill()
{
    m_host->setText(sjisToQString(m_settings.text(Key::MailHost)));
    m_from->setText(sjisToQString(m_settings.text(Key::MailFrom)));
    m_to->setText(sjisToQString(m_settings.text(Key::MailTo)));
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
