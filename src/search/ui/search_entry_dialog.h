// The search list's entry editor TForm6: pattern (Edit1) and remark (Edit3),
// in add mode ("登録航空機リスト新規追加") or edit mode ("登録航空機リスト編集").
// OK adds or replaces the row and saves the list; a comma in either field is
// refused, since the file has no quoting.
#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace varnesk {

class SearchWatch;

class SearchEntryDialog : public QDialog {
    Q_OBJECT
public:
    SearchEntryDialog(SearchWatch& watch, QWidget* parent = nullptr);

    // The window the dialog centres over when shown (the search window).
    void setCentreOver(QWidget* window) { m_centreOver = window; }

    // Empty fields, add mode.
    void prepareAdd();
    // The row's pattern and remark, edit mode (false when there is no such row).
    bool prepareEdit(int index);
    bool addMode() const { return m_index < 0; }

    // prepare…, then modal.
    int openAdd();
    int openEdit(int index);

    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    SearchWatch& m_watch;
    QWidget* m_centreOver = nullptr;
    QLineEdit* m_pattern = nullptr;
    QLineEdit* m_remark = nullptr;
    int m_index = -1; // the row being edited, -1 in add mode
};

} // namespace varnesk
