// The received text window TForm10 and the colour dialog TForm18: controls
// from the settings, the toolbar actions, the text area, resizing.
#include "acars/line_codec.h"
#include "decode/ui/clear_each_logs.h"
#include "decode/ui/text_colour_dialog.h"
#include "decode/ui/text_window.h"

#include "decode_rig.h"
#include "widgets/message_hub.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QToolButton>

#include "../gui_app.h"

#include <gtest/gtest.h>

using namespace varnesk;
using namespace varnesk::testing;

namespace {

class TextWindowTest : public ::testing::Test {
protected:
    void SetUp() override { varnesk::test::ensureGuiApp(); }
    DecodeRig rig{1};

    QToolButton* button(TextWindow& w, int n)
    {
        return w.findChild<QToolButton*>(QStringLiteral("SpeedButton%1").arg(n));
    }
};

} // namespace

TEST_F(TextWindowTest, ControlsFollowTheSettings)
{
    rig.settings().setInteger(Key::TxtType, 7); // any other value: RAW
    rig.settings().setInteger(Key::TxtLogType, 2);
    rig.settings().setBoolean(Key::TxtLog, false);
    rig.settings().setBoolean(Key::TextTopMost, false);
    TextWindow w(rig.settings(), rig.decode().text);
    EXPECT_EQ(w.windowTitle(), QStringLiteral("受信テキスト表示"));
    EXPECT_TRUE(button(w, 1)->isChecked());
    EXPECT_TRUE(button(w, 8)->isChecked());
    EXPECT_FALSE(button(w, 4)->isChecked());
    EXPECT_FALSE(button(w, 5)->isChecked());
    for (int n : {6, 7, 8})
        EXPECT_FALSE(button(w, n)->isEnabled()) << n;
    const char* hints[] = {"RAW生データ表示", "PRC処理データ表示", "MESメッセージ表示", "ログ",
                           "常に手前に表示",  "そのまま保存",      "便名別に保存",      "登録番号別に保存",
                           "フォント設定",    "カラー設定"};
    for (int n = 1; n <= 10; ++n)
        EXPECT_EQ(button(w, n)->toolTip(), QString::fromUtf8(hints[n - 1])) << n;
    QPlainTextEdit* text = w.textArea();
    EXPECT_EQ(text->objectName(), QStringLiteral("Memo1"));
    EXPECT_TRUE(text->isReadOnly());
    EXPECT_EQ(text->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_EQ(text->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(text->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
}

TEST_F(TextWindowTest, ButtonsChangeViewLogAndNaming)
{
    TextWindow w(rig.settings(), rig.decode().text);
    button(w, 3)->click();
    EXPECT_EQ(rig.settings().integer(Key::TxtType), 2);
    button(w, 1)->click();
    EXPECT_EQ(rig.settings().integer(Key::TxtType), 0);

    rig.feed(downlink(".JA8089", "M01A", "JL0012", "OLD ENTRY"));
    button(w, 4)->click(); // log on: the text log starts anew
    EXPECT_TRUE(rig.settings().boolean(Key::TxtLog));
    EXPECT_EQ(rig.readFile(QStringLiteral("logs/text.log")), "Start Logging at " + rig.dateTime() + "\r\n");
    for (int n : {6, 7, 8})
        EXPECT_TRUE(button(w, n)->isEnabled()) << n;
    button(w, 7)->click();
    EXPECT_EQ(rig.settings().integer(Key::TxtLogType), 1);
    button(w, 4)->click();
    EXPECT_FALSE(rig.settings().boolean(Key::TxtLog));
    EXPECT_FALSE(button(w, 6)->isEnabled());

    button(w, 5)->click();
    EXPECT_EQ(rig.settings().boolean(Key::TextTopMost), button(w, 5)->isChecked());
    EXPECT_EQ(w.windowFlags().testFlag(Qt::WindowStaysOnTopHint), button(w, 5)->isChecked());
}

TEST_F(TextWindowTest, TextAreaShowsTheTextScrolledToTheEnd)
{
    rig.settings().setInteger(Key::TxtType, 0);
    TextWindow w(rig.settings(), rig.decode().text);
    w.show();
    for (int i = 0; i < 60; ++i)
        rig.feed(downlink(".JA" + std::to_string(8000 + i), "M01A", "JL0012", "ENTRY " + std::to_string(i)));
    // Shift-JIS text from the network reaches the widget as Unicode.
    std::string line;
    for (char c : downlink(".JA8100", "M01A", "JL0012", "\x93\xFA\x96\x7B"))
        line.push_back(static_cast<char>(encodeLineChar(static_cast<uint8_t>(c))));
    rig.decode().intake.LineIntake(line);
    w.refreshText();
    const QString shown = w.textArea()->toPlainText();
    EXPECT_TRUE(shown.endsWith(QStringLiteral("日本<ETX>\n")));
    EXPECT_TRUE(shown.contains(QStringLiteral("ENTRY 59<ETX>")));
    QScrollBar* bar = w.textArea()->verticalScrollBar();
    EXPECT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value(), bar->maximum());
    EXPECT_GT(w.textArea()->horizontalScrollBar()->maximum(), 0); // long RAW lines, no wrap
    EXPECT_EQ(w.textArea()->horizontalScrollBar()->value(), 0);
}

TEST_F(TextWindowTest, TimerPicksUpNewEntries)
{
    rig.settings().setInteger(Key::TxtType, 0);
    TextWindow w(rig.settings(), rig.decode().text);
    QObject::connect(&rig.decode().text, &ReceivedText::entryAppended, &w, &TextWindow::markTextChanged);
    w.show();
    rig.feed(downlink(".JA8089", "M01A", "JL0012", "LATER ENTRY"));
    const auto shown = [&] { return w.textArea()->toPlainText().contains(QStringLiteral("LATER ENTRY")); };
    EXPECT_FALSE(shown()); // nothing is drawn before the timer runs
    QElapsedTimer clock;
    clock.start();
    while (!shown() && clock.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_TRUE(shown());
}

TEST_F(TextWindowTest, ResizeLayoutAndMinimum)
{
    TextWindow w(rig.settings(), rig.decode().text);
    w.show();
    w.resize(500, 400);
    QWidget* bar = w.findChild<QWidget*>(QStringLiteral("ToolBar1"));
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->width(), 496);
    EXPECT_EQ(w.textArea()->width(), 496);
    EXPECT_EQ(w.textArea()->height(), 369);
    w.resize(100, 50);
    EXPECT_GE(w.width(), 300);
    EXPECT_GE(w.height(), 100);
}

TEST_F(TextWindowTest, ColourDialogTextModeOkAndCancel)
{
    TextWindow w(rig.settings(), rig.decode().text);
    TextColourDialog& d = *w.colourDialog();
    EXPECT_EQ(d.windowTitle(), QStringLiteral("色設定"));
    // The platform colour dialog picks red; OK or Cancel closes the dialog.
    TextColourDialog::setColourPicker([](const QColor&, QWidget*) { return std::optional<QColor>(Qt::red); });
    bool pressOk = true;
    auto press = [&] {
        d.findChild<QPushButton*>(QStringLiteral("BackButton"))->click();
        d.findChild<QPushButton*>(QStringLiteral("TextButton"))->click();
        d.findChild<QPushButton*>(pressOk ? QStringLiteral("OkButton") : QStringLiteral("CancelButton"))->click();
    };

    pressOk = false;
    QTimer::singleShot(0, &d, press);
    d.run(TextColourDialog::Mode::Text, &w, w.textArea());
    EXPECT_EQ(rig.settings().colour(Key::TextBack), 0xFFFFFFu);

    pressOk = true;
    QTimer::singleShot(0, &d, press);
    EXPECT_EQ(d.run(TextColourDialog::Mode::Text, &w, w.textArea()), QDialog::Accepted);
    EXPECT_EQ(rig.settings().colour(Key::TextBack), 0x0000FFu); // red: blue 0, green 0, red FF
    EXPECT_EQ(rig.settings().colour(Key::TextText), 0x0000FFu);
    EXPECT_EQ(rig.settings().colour(Key::ListBack), 0xFFFFFFu);
    EXPECT_EQ(w.textArea()->palette().color(QPalette::Base), QColor(Qt::red));
    TextColourDialog::setColourPicker({});
}

TEST_F(TextWindowTest, ColourDialogListMode)
{
    TextColourDialog d(rig.settings());
    QWidget list;
    TextColourDialog::setColourPicker([](const QColor&, QWidget*) { return std::optional<QColor>(QColor(1, 2, 3)); });
    QTimer::singleShot(0, &d, [&] {
        EXPECT_EQ(d.workingBack(), settingColour(rig.settings().colour(Key::ListBack)));
        d.findChild<QPushButton*>(QStringLiteral("BackButton"))->click();
        d.findChild<QPushButton*>(QStringLiteral("OkButton"))->click();
    });
    d.run(TextColourDialog::Mode::List, nullptr, &list);
    EXPECT_EQ(rig.settings().colour(Key::ListBack), 0x030201u);
    EXPECT_EQ(rig.settings().colour(Key::TextBack), 0xFFFFFFu);
    EXPECT_EQ(list.palette().color(QPalette::Base), QColor(1, 2, 3));
    TextColourDialog::setColourPicker({});
}

TEST_F(TextWindowTest, ClearEachLogsAsksFirst)
{
    const QString each = rig.dir() + QStringLiteral("/logs/EachLogs/JL0012.log");
    QFile(each).open(QIODevice::WriteOnly);
    bool answer = false;
    MessageHub::setAnswerer([&](MessageHub::Kind, const QString&) { return answer; });
    MessageHub::clearRecords();
    EXPECT_EQ(ClearEachLogs(nullptr, rig.decode().log), 0);
    EXPECT_TRUE(QFile::exists(each));
    answer = true;
    EXPECT_EQ(ClearEachLogs(nullptr, rig.decode().log), 1);
    EXPECT_FALSE(QFile::exists(each));
    ASSERT_EQ(MessageHub::records().size(), 2u);
    EXPECT_EQ(MessageHub::records()[0].kind, MessageHub::Kind::Confirmation);
    EXPECT_TRUE(MessageHub::records()[0].beeped);
    EXPECT_EQ(MessageHub::records()[0].text, QStringLiteral("EachLogs内のログを消去します。\nよろしいですか？"));
    MessageHub::setAnswerer({});
}
