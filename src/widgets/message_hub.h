// The one road every message box and Yes/No confirmation of the program takes.
// Takes the text to show; gives nothing (boxes) or the user's answer (confirmations).
// Tests install an answerer so that no box ever opens and blocks.
#pragma once

#include <QString>

#include <functional>
#include <vector>

class QWidget;

namespace varnesk {

class MessageHub {
public:
    enum class Kind { Warning, Error, Information, Confirmation };

    // One box as it would have been shown.
    struct Record {
        Kind kind;
        QString text;
        bool beeped;
        bool answer; // what the box returned: true for OK/Yes
    };

    // Replaces the modal box: gets every box and returns the answer (true = OK/Yes).
    using Answerer = std::function<bool(Kind kind, const QString& text)>;

    // System beep, then a warning box with one OK button.
    static void warning(QWidget* parent, const QString& text);
    // System beep, then an error box with one OK button.
    static void error(QWidget* parent, const QString& text);
    // System beep, then an information box with one OK button.
    static void information(QWidget* parent, const QString& text);
    // A warning box with one OK button and no beep (the few boxes that go without).
    static void warningQuiet(QWidget* parent, const QString& text);
    // System beep, then a question with Yes and No; true for Yes.
    static bool confirm(QWidget* parent, const QString& text);

    // The title every box carries: the program's title.
    static QString title();

    // Test hook: while an answerer is installed no box is shown; each box is
    // recorded and answered by it. An empty function restores real boxes.
    static void setAnswerer(Answerer answerer);
    static bool hasAnswerer();
    static const std::vector<Record>& records();
    static void clearRecords();

    // While suppressed (the program is being closed from outside) no box is
    // shown: boxes return at once, confirmations answer No.
    static void setSuppressed(bool suppressed);

    // True while a real modal box of the hub is open (the shutdown path closes it).
    static bool boxOpen();

private:
    static bool show(QWidget* parent, Kind kind, const QString& text, bool beep);
};

} // namespace varnesk
