// TForm2, TForm6 and TForm7 offscreen: controls by name, switches into the
// settings, the list edits through the editor, the mail settings checks, a
// hit popping the window up with sound, panel and log, and the mail status.
#include "search/ui/search_window.h"

#include "acars/sjis.h"
#include "aircraft/reference_tables.h"
#include "search/search_watch.h"
#include "search/ui/mail_settings_dialog.h"
#include "search/ui/search_entry_dialog.h"
#include "search_test_support.h"
#include "settings/settings_store.h"
#include "widgets/message_hub.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QToolButton>
#include <QTreeWidget>

#include "../gui_app.h"

#include <gtest/gtest.h>

namespace varnesk {
namespace {

using test::readFile;
using test::waitUntil;
using test::writeFile;

void ensureApp()
{
    test::ensureGuiApp();
}

template <typename T>
T* child(QWidget& w, const char* name)
{
    T* c = w.findChild<T*>(QLatin1String(name));
    EXPECT_NE(c, nullptr) << name;
    return c;
}

// Runs action on the modal dialog that the next step opens.
void onModal(std::function<void(QWidget&)> action)
{
    QTimer::singleShot(0, [action = std::move(action)] {
        QWidget* modal = QApplication::activeModalWidget();
        ASSERT_NE(modal, nullptr);
        action(*modal);
    });
}

// Types text into a field key by key, as a user would.
void type(QWidget* field, const QString& text)
{
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(field, &press);
    }
}

class SearchUi : public ::testing::Test {
protected:
    void SetUp() override
    {
        ensureApp();
        MessageHub::clearRecords();
        MessageHub::setAnswerer([this](MessageHub::Kind, const QString&) { return answer; });
        SearchWindow::setSoundPlayer([this](const QString& path) { sounds << path; });
        writeFile(folder.paths.searchList, "JA8***,special\r\nJL0456,vip\r\n");
    }
    void TearDown() override
    {
        window.reset();
        watch.reset();
        MessageHub::setAnswerer({});
        SearchWindow::setSoundPlayer({});
    }
    void configureMail()
    {
        settings.setText(Key::MailHost, "127.0.0.1");
        settings.setText(Key::MailFrom, "station@example.jp");
        settings.setText(Key::MailTo, "me@example.jp");
    }
    SearchWindow& make()
    {
        watch = std::make_unique<SearchWatch>(settings, folder.paths, tables);
        watch->clock = [] { return QDateTime(QDate(2024, 5, 6), QTime(10, 0, 0)); };
        window = std::make_unique<SearchWindow>(*watch, settings, nullptr);
        return *window;
    }
    QToolButton* button(const char* name) { return child<QToolButton>(*window, name); }
    QTreeWidget* list() { return child<QTreeWidget>(*window, "ListView1"); }
    void selectRow(int row)
    {
        QTreeWidgetItem* item = list()->topLevelItem(row);
        ASSERT_NE(item, nullptr);
        item->setSelected(true);
        Q_EMIT list()->itemClicked(item, 0);
    }
    QStringList messages() const
    {
        QStringList out;
        for (const MessageHub::Record& r : MessageHub::records())
            out << r.text;
        return out;
    }

    test::AppFolder folder;
    SettingsStore settings;
    ReferenceTables tables{folder.paths};
    std::unique_ptr<SearchWatch> watch;
    std::unique_ptr<SearchWindow> window;
    QStringList sounds;
    bool answer = true;
};

TEST_F(SearchUi, ControlsAndStartState)
{
    settings.setInteger(Key::PlaneLeft, 40);
    settings.setInteger(Key::PlaneTop, 30);
    settings.setBoolean(Key::SpecSound, false);
    SearchWindow& w = make();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("航空機サーチ"));
    const std::pair<const char*, const char*> hints[] = {{"SpeedButton1", "メール通知"},
                                                         {"SpeedButton2", "削除"},
                                                         {"SpeedButton3", "編集"},
                                                         {"SpeedButton4", "新規追加"},
                                                         {"SpeedButton5", "メール通知設定"},
                                                         {"SpeedButton6", "テストメール送信"},
                                                         {"SpeedButton7", "受信時にポップアップ"},
                                                         {"SpeedButton8", "受信時にサウンドを鳴らす"},
                                                         {"SpeedButton9", "ログ"}};
    for (const auto& [name, hint] : hints)
        EXPECT_EQ(button(name)->toolTip(), QString::fromUtf8(hint)) << name;
    for (const char* name : {"Panel1", "Panel2", "Panel3"})
        child<QLabel>(w, name);
    child<QPlainTextEdit>(w, "Memo1");
    child<QStatusBar>(w, "StatusBar1");
    EXPECT_NE(watch->findChild<QTimer*>(QStringLiteral("Timer1")), nullptr);

    QTreeWidget* view = list();
    EXPECT_EQ(view->headerItem()->text(0), QStringLiteral("Search"));
    EXPECT_EQ(view->headerItem()->text(1), QStringLiteral("Hit"));
    EXPECT_EQ(view->headerItem()->text(2), QStringLiteral("LastTime"));
    EXPECT_EQ(view->headerItem()->text(3), QStringLiteral("Remarks"));
    ASSERT_EQ(view->topLevelItemCount(), 2);
    EXPECT_EQ(view->topLevelItem(0)->text(0), QStringLiteral("JA8***"));
    EXPECT_EQ(view->topLevelItem(0)->text(1), QStringLiteral("------"));
    EXPECT_EQ(view->topLevelItem(0)->text(2), QStringLiteral("--:--:--"));
    EXPECT_EQ(view->topLevelItem(1)->text(3), QStringLiteral("vip"));

    EXPECT_FALSE(button("SpeedButton2")->isEnabled());
    EXPECT_FALSE(button("SpeedButton3")->isEnabled());
    EXPECT_FALSE(button("SpeedButton1")->isEnabled()); // no mail settings
    EXPECT_FALSE(button("SpeedButton6")->isEnabled());
    EXPECT_TRUE(button("SpeedButton7")->isChecked());
    EXPECT_FALSE(button("SpeedButton8")->isChecked());
    EXPECT_FALSE(button("SpeedButton9")->isChecked());
    EXPECT_EQ(w.pos(), QPoint(40, 30));
}

TEST_F(SearchUi, MailSwitchFollowsTheSettingOnceConfigured)
{
    configureMail();
    settings.setBoolean(Key::MailSend, true);
    make();
    EXPECT_TRUE(button("SpeedButton1")->isEnabled());
    EXPECT_TRUE(button("SpeedButton6")->isEnabled());
    EXPECT_TRUE(button("SpeedButton1")->isChecked());
    button("SpeedButton1")->click();
    EXPECT_FALSE(settings.boolean(Key::MailSend));
}

TEST_F(SearchUi, SwitchesStoreTheirStateAtOnce)
{
    make();
    button("SpeedButton7")->click();
    EXPECT_FALSE(settings.boolean(Key::SpecPopUp));
    button("SpeedButton8")->click();
    EXPECT_FALSE(settings.boolean(Key::SpecSound));
    writeFile(folder.paths.searchLog, "old\r\n");
    watch->CheckSearchList("JA8089", "JL0123");
    EXPECT_EQ(readFile(folder.paths.searchLog), "old\r\n");
    button("SpeedButton9")->click(); // log on: the box goes to the file
    EXPECT_TRUE(settings.boolean(Key::SpecLog));
    EXPECT_EQ(sjisToQString(readFile(folder.paths.searchLog)),
              QStringLiteral("JA8089 JL0123 ----->---- 10:00:00 (----→----) special\r\n"));
}

TEST_F(SearchUi, SelectionGivesEditAndDeleteOtherControlsTakeThem)
{
    make();
    selectRow(1);
    EXPECT_TRUE(button("SpeedButton2")->isEnabled());
    EXPECT_TRUE(button("SpeedButton3")->isEnabled());
    button("SpeedButton7")->click();
    EXPECT_FALSE(button("SpeedButton2")->isEnabled());
    selectRow(1);
    QPlainTextEdit* memo = child<QPlainTextEdit>(*window, "Memo1");
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(memo->viewport(), &press);
    EXPECT_FALSE(button("SpeedButton3")->isEnabled());
}

TEST_F(SearchUi, AddEditAndDeleteThroughTheEditor)
{
    make();
    // Add: empty fields, add-mode caption.
    onModal([](QWidget& d) {
        EXPECT_EQ(d.windowTitle(), QStringLiteral("登録航空機リスト新規追加"));
        auto* pattern = child<QLineEdit>(d, "Edit1");
        EXPECT_TRUE(pattern->text().isEmpty());
        // Typed in small letters, kept in capitals; the remark as typed.
        type(pattern, QStringLiteral("ja01**"));
        EXPECT_EQ(pattern->text(), QStringLiteral("JA01**"));
        child<QLineEdit>(d, "Edit3")->setText(QStringLiteral("新塗装"));
        child<QPushButton>(d, "Button1")->click();
    });
    button("SpeedButton4")->click();
    ASSERT_EQ(list()->topLevelItemCount(), 3);
    EXPECT_EQ(list()->topLevelItem(2)->text(3), QStringLiteral("新塗装"));
    EXPECT_EQ(sjisToQString(readFile(folder.paths.searchList)),
              QStringLiteral("JA8***,special\r\nJL0456,vip\r\nJA01**,新塗装\r\n"));
    EXPECT_TRUE(watch->CheckSearchList("JA0123", "NH0001"));

    // Edit: the row's fields, edit-mode caption; a comma is refused.
    watch->CheckSearchList("JA8089", "JL0123");
    selectRow(0);
    onModal([this](QWidget& d) {
        EXPECT_EQ(d.windowTitle(), QStringLiteral("登録航空機リスト編集"));
        EXPECT_EQ(child<QLineEdit>(d, "Edit1")->text(), QStringLiteral("JA8***"));
        auto* remark = child<QLineEdit>(d, "Edit3");
        EXPECT_EQ(remark->text(), QStringLiteral("special"));
        remark->setText(QStringLiteral("a,b"));
        child<QPushButton>(d, "Button1")->click();
        EXPECT_TRUE(d.isVisible()); // stays open
        EXPECT_EQ(messages(), QStringList{QStringLiteral("備考にカンマ（,）は使えません")});
        remark->setText(QStringLiteral("ab"));
        child<QPushButton>(d, "Button1")->click();
    });
    button("SpeedButton3")->click();
    EXPECT_EQ(list()->topLevelItem(0)->text(3), QStringLiteral("ab"));
    EXPECT_EQ(list()->topLevelItem(0)->text(1), QStringLiteral("JL0123")); // Hit kept
    EXPECT_EQ(readFile(folder.paths.searchList),
              "JA8***,ab\r\nJL0456,vip\r\nJA01**," + qstringToSjis(QStringLiteral("新塗装")) + "\r\n");

    // Delete: No keeps the row, Yes removes it.
    MessageHub::clearRecords();
    selectRow(1);
    answer = false;
    button("SpeedButton2")->click();
    EXPECT_EQ(list()->topLevelItemCount(), 3);
    answer = true;
    button("SpeedButton2")->click();
    ASSERT_EQ(list()->topLevelItemCount(), 2);
    EXPECT_EQ(list()->topLevelItem(1)->text(0), QStringLiteral("JA01**"));
    EXPECT_FALSE(button("SpeedButton2")->isEnabled());
    EXPECT_EQ(messages(), (QStringList{QStringLiteral("消去します。よろしいですか？"),
                                       QStringLiteral("消去します。よろしいですか？")}));

    // Without a selection both say so.
    MessageHub::clearRecords();
    for (const char* name : {"SpeedButton2", "SpeedButton3"}) {
        button(name)->setEnabled(true);
        button(name)->click();
    }
    EXPECT_EQ(messages(), (QStringList{QStringLiteral("削除項目が選択されていません"),
                                       QStringLiteral("削除項目が選択されていません")}));
}

TEST_F(SearchUi, EditorLimitsAreShiftJisBytes)
{
    make();
    SearchEntryDialog* d = window->entryDialog();
    d->prepareAdd();
    auto* pattern = child<QLineEdit>(*d, "Edit1");
    auto* remark = child<QLineEdit>(*d, "Edit3");
    type(pattern, QStringLiteral("JA8089XYZ"));
    EXPECT_EQ(pattern->text(), QStringLiteral("JA8089X"));
    type(remark, QString(20, QChar(0x6F22))); // 漢: two bytes each
    EXPECT_EQ(remark->text(), QString(15, QChar(0x6F22)));
}

TEST_F(SearchUi, MailSettingsChecksEveryField)
{
    configureMail();
    make();
    MailSettingsDialog* d = window->mailSettingsDialog();
    EXPECT_EQ(d->windowTitle(), QStringLiteral("メール設定"));
    auto* host = child<QLineEdit>(*d, "Edit1");
    auto* from = child<QLineEdit>(*d, "Edit3");
    auto* to = child<QLineEdit>(*d, "Edit4");
    EXPECT_EQ(host->text(), QStringLiteral("127.0.0.1"));
    onModal([&](QWidget& dialog) {
        host->clear();
        from->clear();
        child<QPushButton>(dialog, "Button1")->click();
        EXPECT_FALSE(button("SpeedButton1")->isEnabled());
        EXPECT_FALSE(button("SpeedButton6")->isEnabled());
        host->setText(QStringLiteral("mail.example.jp"));
        child<QPushButton>(dialog, "Button1")->click();
        from->setText(QStringLiteral("a@example.jp"));
        to->clear();
        child<QPushButton>(dialog, "Button1")->click();
        to->setText(QStringLiteral("b@example.jp"));
        child<QPushButton>(dialog, "Button1")->click();
    });
    button("SpeedButton5")->click();
    EXPECT_EQ(messages(), (QStringList{QStringLiteral("メールホストが空欄がです"),
                                       QStringLiteral("送信元メールアドレスが空欄がです"),
                                       QStringLiteral("送信先メールアドレスが空欄がです")}));
    EXPECT_EQ(settings.text(Key::MailHost), "mail.example.jp");
    EXPECT_EQ(settings.text(Key::MailFrom), "a@example.jp");
    EXPECT_EQ(settings.text(Key::MailTo), "b@example.jp");
    EXPECT_TRUE(button("SpeedButton1")->isEnabled());
    EXPECT_TRUE(button("SpeedButton6")->isEnabled());

    // Cancel changes nothing.
    onModal([&](QWidget& dialog) {
        host->setText(QStringLiteral("other"));
        child<QPushButton>(dialog, "Button2")->click();
    });
    button("SpeedButton5")->click();
    EXPECT_EQ(settings.text(Key::MailHost), "mail.example.jp");
    EXPECT_EQ(host->text(), QStringLiteral("mail.example.jp"));
}

TEST_F(SearchUi, HitPopsUpPlaysAndFillsPanelAndLog)
{
    writeFile(folder.paths.alertSound, "RIFF");
    SearchWindow& w = make();
    ASSERT_FALSE(w.isVisible());
    ASSERT_TRUE(watch->CheckSearchList("JA8089", "JL0123"));
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(sounds, QStringList{folder.paths.alertSound});
    EXPECT_EQ(child<QLabel>(w, "Panel1")->text(), QStringLiteral("JA8089"));
    EXPECT_EQ(child<QLabel>(w, "Panel2")->text(), QStringLiteral("JL0123"));
    EXPECT_EQ(child<QLabel>(w, "Panel3")->text(), QStringLiteral("special"));
    EXPECT_EQ(list()->topLevelItem(0)->text(1), QStringLiteral("JL0123"));
    EXPECT_EQ(list()->topLevelItem(0)->text(2), QStringLiteral("10:00:00"));
    EXPECT_EQ(child<QPlainTextEdit>(w, "Memo1")->toPlainText(),
              QStringLiteral("JA8089 JL0123 ----->---- 10:00:00 (----→----) special\n"));

    // Pop-up and sound off: the hidden window stays hidden, nothing plays.
    w.hide();
    button("SpeedButton7")->click();
    button("SpeedButton8")->click();
    ASSERT_TRUE(watch->CheckSearchList("JA8089", "JL0456"));
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(sounds.size(), 1);
}

TEST_F(SearchUi, UserEditsOfTheLogBoxReachTheFile)
{
    make();
    auto* memo = child<QPlainTextEdit>(*window, "Memo1");
    memo->setPlainText(QStringLiteral("メモ\n"));
    button("SpeedButton9")->click();
    EXPECT_EQ(sjisToQString(readFile(folder.paths.searchLog)), QStringLiteral("メモ\r\n"));
}

TEST_F(SearchUi, TestMailShowsProgressAndGivesTheButtonsBack)
{
    configureMail();
    quint16 port = 0;
    {
        QTcpServer closed;
        closed.listen(QHostAddress::LocalHost, 0);
        port = closed.serverPort();
    }
    make();
    watch->setSmtpPort(port);
    watch->setMailTiming(MailTiming{2000, 150, 60000});
    selectRow(0);
    button("SpeedButton6")->click();
    for (const char* name : {"SpeedButton1", "SpeedButton2", "SpeedButton3", "SpeedButton6"})
        EXPECT_FALSE(button(name)->isEnabled()) << name;
    ASSERT_TRUE(waitUntil([this] { return !watch->mailSending(); }));
    EXPECT_EQ(child<QStatusBar>(*window, "StatusBar1")->currentMessage(), QStringLiteral("Invalid Socket-リトライ>1"));
    EXPECT_TRUE(button("SpeedButton1")->isEnabled());
    EXPECT_TRUE(button("SpeedButton6")->isEnabled());
}

TEST_F(SearchUi, PlaceAndShowingStateGoToTheSettings)
{
    QWidget owner;
    owner.setGeometry(100, 100, 800, 600);
    watch = std::make_unique<SearchWatch>(settings, folder.paths, tables);
    window = std::make_unique<SearchWindow>(*watch, settings, &owner);
    window->show(); // stored place 0,0: centred over the owner
    EXPECT_NE(window->pos(), QPoint(0, 0));
    window->move(12, 34);
    window->storeSettings();
    EXPECT_EQ(settings.integer(Key::PlaneLeft), 12);
    EXPECT_EQ(settings.integer(Key::PlaneTop), 34);
    EXPECT_TRUE(settings.boolean(Key::FormSpec));
    window->hide();
    window->storeSettings();
    EXPECT_FALSE(settings.boolean(Key::FormSpec));
    window.reset(); // before its owner goes
}

} // namespace
} // namespace varnesk
