// TForm6: two fields, OK and キャンセル.
#include "search/ui/search_entry_dialog.h"
#include "widgets/modal_over.h"

#include "acars/sjis.h"
#include "search/search_watch.h"
#include "search/ui/sjis_length_validator.h"
#include "widgets/centre_dialog.h"
#include "widgets/dialog_buttons.h"
#include "widgets/message_hub.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace varnesk {

SearchEntryDialog::SearchEntryDialog(SearchWatch& watch, QWidget* parent) : QDialog(parent), m_watch(watch)
{
    setWindowTitle(QStringLiteral("登録航空機リスト編集"));
    setModal(true);

    m_pattern = new QLineEdit(this);
    m_pattern->setObjectName(QStringLiteral("Edit1"));
    // Registrations and flight numbers are received in capitals: so is a pattern.
    m_pattern->setValidator(new SjisLengthValidator(kPatternEditorBytes, m_pattern, SjisLengthValidator::Case::Upper));
    m_remark = new QLineEdit(this);
    m_remark->setObjectName(QStringLiteral("Edit3"));
    m_remark->setValidator(new SjisLengthValidator(kRemarkEditorBytes, m_remark));

    auto* fields = new QGridLayout;
    fields->addWidget(new QLabel(QStringLiteral("検索文字"), this), 0, 0);
    fields->addWidget(m_pattern, 0, 1);
    fields->addWidget(new QLabel(QStringLiteral("備　考"), this), 1, 0);
    fields->addWidget(m_remark, 1, 1);

    QHBoxLayout* buttons = makeOkCancelRow(*this, "Button1", "Button2").layout;

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addLayout(buttons);
    resize(300, 110);
}

void SearchEntryDialog::prepareAdd()
{
    m_index = -1;
    setWindowTitle(QStringLiteral("登録航空機リスト新規追加"));
    m_pattern->clear();
    m_remark->clear();
}

bool SearchEntryDialog::prepareEdit(int index)
{
    if (index < 0 || static_cast<size_t>(index) >= m_watch.rows().size())
        return false;
    m_index = index;
    setWindowTitle(QStringLiteral("登録航空機リスト編集"));
    const SearchRow& row = m_watch.rows()[static_cast<size_t>(index)];
    m_pattern->setText(sjisToQString(row.pattern));
    m_remark->setText(sjisToQString(row.remark));
    return true;
}

int SearchEntryDialog::openAdd()
{
    prepareAdd();
    return execOver(*this, m_centreOver);
}

int SearchEntryDialog::openEdit(int index)
{
    if (!prepareEdit(index))
        return QDialog::Rejected;
    return execOver(*this, m_centreOver);
}

void SearchEntryDialog::accept()
{
    // search.csv has no quoting: a comma would split the row on the next load.
    if (m_pattern->text().contains(QLatin1Char(','))) {
        MessageHub::error(this, QStringLiteral("検索文字にカンマ（,）は使えません"));
        m_pattern->setFocus();
        return;
    }
    if (m_remark->text().contains(QLatin1Char(','))) {
        MessageHub::error(this, QStringLiteral("備考にカンマ（,）は使えません"));
        m_remark->setFocus();
        return;
    }
    std::string pattern = qstringToSjis(m_pattern->text().toUpper());
    std::string remark = qstringToSjis(m_remark->text());
    if (addMode())
        m_watch.AddSearchRow(std::move(pattern), std::move(remark));
    else
        m_watch.editSearchRow(m_index, std::move(pattern), std::move(remark));
    QDialog::accept();
}

void SearchEntryDialog::showEvent(QShowEvent* event)
{
    centreDialog(*this, m_centreOver ? m_centreOver : parentWidget());
    QDialog::showEvent(event);
}

} // namespace varnesk
