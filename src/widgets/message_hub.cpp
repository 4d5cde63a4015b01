// Message boxes and confirmations: beep first, then a modal box titled with the
// program's name, or, under test, a recorded answer from the installed answerer.
#include "widgets/message_hub.h"
#include "widgets/modal_over.h"

#include <QApplication>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QPointer>

namespace varnesk {

namespace {

// Each box as it opens, at debug level (off unless QT_LOGGING_RULES turns
// it on): what the user was asked, for a report or a test watching the program.
Q_LOGGING_CATEGORY(lcMessages, "varnesk.messages", QtInfoMsg)

struct HubState {
    MessageHub::Answerer answerer;
    std::vector<MessageHub::Record> records;
    int openBoxes = 0;
    bool suppressed = false;
};

HubState& state()
{
    static HubState s;
    return s;
}

QMessageBox::Icon iconFor(MessageHub::Kind kind)
{
    switch (kind) {
    case MessageHub::Kind::Warning:
        return QMessageBox::Warning;
    case MessageHub::Kind::Error:
        return QMessageBox::Critical;
    case MessageHub::Kind::Information:
        return QMessageBox::Information;
    case MessageHub::Kind::Confirmation:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

} // namespace

QString MessageHub::title()
{
    const QString name = QApplication::applicationName();
    return name.isEmpty() ? QStringLiteral("Varnesk") : name;
}

void MessageHub::warning(QWidget* parent, const QString& text)
{
    show(parent, Kind::Warning, text, true);
}

void MessageHub::error(QWidget* parent, const QString& text)
{
    show(parent, Kind::Error, text, true);
}

void MessageHub::information(QWidget* parent, const QString& text)
{
    show(parent, Kind::Information, text, true);
}

void MessageHub::warningQuiet(QWidget* parent, const QString& text)
{
    show(parent, Kind::Warning, text, false);
}

bool MessageHub::confirm(QWidget* parent, const QString& text)
{
    return show(parent, Kind::Confirmation, text, true);
}

bool MessageHub::show(QWidget* parent, Kind kind, const QString& text, bool beep)
{
    HubState& s = state();
    if (s.answerer) {
        const bool answer = s.answerer(kind, text);
        s.records.push_back(Record{kind, text, beep, answer});
        return answer;
    }
    if (s.suppressed)
        return false;
    if (beep)
        QApplication::beep();
    const bool question = kind == Kind::Confirmation;
    // A parent that is hidden would centre the box on nothing; use it only when shown.
    QWidget* owner = (parent && parent->isVisible()) ? parent : nullptr;
    QPointer<QMessageBox> box = new QMessageBox(
        iconFor(kind), title(), text, question ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok, owner);
    box->setAttribute(Qt::WA_DeleteOnClose, false);
    // Texts may carry received data (flight numbers): never read as markup.
    box->setTextFormat(Qt::PlainText);
    box->setDefaultButton(question ? QMessageBox::Yes : QMessageBox::Ok);
    box->setEscapeButton(question ? QMessageBox::No : QMessageBox::Ok);
    ++s.openBoxes;
    qCDebug(lcMessages).noquote() << "box open:" << text;
    const int result = execOver(*box, owner);
    --s.openBoxes;
    const bool answer = question ? result == QMessageBox::Yes : true;
    delete box.data();
    return answer;
}

void MessageHub::setSuppressed(bool suppressed)
{
    state().suppressed = suppressed;
}

void MessageHub::setAnswerer(Answerer answerer)
{
    state().answerer = std::move(answerer);
}

bool MessageHub::hasAnswerer()
{
    return static_cast<bool>(state().answerer);
}

const std::vector<MessageHub::Record>& MessageHub::records()
{
    return state().records;
}

void MessageHub::clearRecords()
{
    state().records.clear();
}

bool MessageHub::boxOpen()
{
    return state().openBoxes > 0;
}

} // namespace varnesk
