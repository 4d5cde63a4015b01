// The aircraft search window TForm2 ("航空機サーチ"): the search list
// (ListView1) with its add, edit and delete buttons, the notification
// switches, the hit panel, the hit log box (Memo1) and the status bar with
// the mail progress. Reads and drives a SearchWatch.
#pragma once

#include <QPoint>
#include <QWidget>

#include <functional>
#include <string>

class QLabel;
class QPlainTextEdit;
class QSoundEffect;
class QSpinBox;
class QStatusBar;
class QToolButton;
class QTreeWidget;

namespace varnesk {

class MailSettingsDialog;
class SearchEntryDialog;
class SearchWatch;
class SettingsStore;
struct SearchHit;

class SearchWindow : public QWidget {
    Q_OBJECT
public:
    // owner: the main window, over which the window centres when its stored
    // place is the top-left corner.
    SearchWindow(SearchWatch& watch, SettingsStore& settings, QWidget* owner);
    ~SearchWindow() override;

    // The program's TForm6 and TForm7; without them the window makes its own.
    void setEntryDialog(SearchEntryDialog* dialog);
    void setMailSettingsDialog(MailSettingsDialog* dialog);
    SearchEntryDialog* entryDialog();
    MailSettingsDialog* mailSettingsDialog();

    // Position and showing state into the settings ([Pos] PlaneTop,
    // PlaneLeft, [Form] Spec), before Save.
    void storeSettings();

    // Test hook: plays the alert sound in place of Qt Multimedia.
    using SoundPlayer = std::function<void(const QString& path)>;
    static void setSoundPlayer(SoundPlayer player);

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void onHit(const SearchHit& hit);
    void onHitLogChanged();
    void onHitLogEdited();
    void rebuildList();
    void updateRow(int index);
    void setRowButtons(bool enabled);
    void updateRowButtons();
    void setMailButtons(bool enabled);
    int selectedRow() const;
    void addRow();
    void editRow();
    void deleteRow();
    void openMailSettings();
    void sendTestMail();
    void playSound(const QString& path);

    SearchWatch& m_watch;
    SettingsStore& m_settings;
    QWidget* m_owner;
    QPoint m_savedFrame;                // where the frame goes at the first showing; (0, 0): centred
    QToolButton* m_mail = nullptr;      // SpeedButton1
    QToolButton* m_delete = nullptr;    // SpeedButton2
    QToolButton* m_edit = nullptr;      // SpeedButton3
    QToolButton* m_add = nullptr;       // SpeedButton4
    QToolButton* m_mailSetup = nullptr; // SpeedButton5
    QToolButton* m_testMail = nullptr;  // SpeedButton6
    QToolButton* m_popUp = nullptr;     // SpeedButton7
    QToolButton* m_sound = nullptr;     // SpeedButton8
    QToolButton* m_log = nullptr;       // SpeedButton9
    QSpinBox* m_mailHold = nullptr;     // [Mail] MailHold
    QTreeWidget* m_list = nullptr;
    QLabel* m_registration = nullptr; // Panel1
    QLabel* m_flight = nullptr;       // Panel2
    QLabel* m_remark = nullptr;       // Panel3
    QPlainTextEdit* m_memo = nullptr;
    QStatusBar* m_status = nullptr;
    SearchEntryDialog* m_entryDialog = nullptr;
    MailSettingsDialog* m_mailDialog = nullptr;
    QSoundEffect* m_effect = nullptr;
    bool m_settingMemo = false;
};

} // namespace varnesk
