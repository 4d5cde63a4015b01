// The version window TForm11 ("バージョン情報"): product and build lines, the
// product picture, a link to the product's web site and "閉じる". Shown
// modally, centred over the main window.
#pragma once

#include <QDialog>
#include <QImage>

class QLabel;
class QPushButton;

namespace varnesk {

inline constexpr const char* kProductSiteUrl = "https://varnesk.io/";

class VersionWindow : public QDialog {
    Q_OBJECT
public:
    explicit VersionWindow(QWidget* owner);

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_owner;
    QLabel* m_siteLabel = nullptr;
    QLabel* m_link = nullptr;
    QPushButton* m_close = nullptr;
};

} // namespace varnesk
