// TForm11: fixed texts over a picture drawn with QPainter.
#include "app/ui/version_window.h"
#include "aircraft/ui/table_files.h"

#include "app/product_picture.h"
#include "build_date.h"
#include "program_version.h"
#include "widgets/centre_dialog.h"

#include <QEvent>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

namespace varnesk {

VersionWindow::VersionWindow(QWidget* owner) : QDialog(owner), m_owner(owner)
{
    setWindowTitle(QStringLiteral("バージョン情報"));
    setModal(true);
    setFixedSize(320, 230);

    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("Image1"));
    picture->setPixmap(QPixmap::fromImage(drawProductPicture(64)));
    picture->setGeometry(16, 16, 64, 64);
    auto* product = new QLabel(QStringLiteral("Varnesk version ")
                                   + QLatin1String(kProgramVersion.data(), qsizetype(kProgramVersion.size())),
                               this);
    product->setObjectName(QStringLiteral("Label1"));
    QFont big = product->font();
    big.setPointSize(big.pointSize() + 3);
    big.setBold(true);
    product->setFont(big);
    product->setGeometry(96, 22, 220, 24);
    auto* build =
        new QLabel(QStringLiteral("Build ") + QLatin1String(kBuildDate.data(), qsizetype(kBuildDate.size())), this);
    build->setObjectName(QStringLiteral("Label2"));
    build->setGeometry(96, 52, 220, 20);

    m_siteLabel = new QLabel(QStringLiteral("Varnesk公式ホームページ"), this);
    m_siteLabel->setObjectName(QStringLiteral("Label3"));
    m_link = new QLabel(QLatin1String(kProductSiteUrl), this);
    m_link->setObjectName(QStringLiteral("Label4"));
    QFont linkFont = m_link->font();
    linkFont.setUnderline(true);
    m_link->setFont(linkFont);
    QPalette p = m_link->palette();
    p.setColor(QPalette::WindowText, Qt::blue);
    m_link->setPalette(p);
    m_link->setCursor(Qt::PointingHandCursor);
    m_link->installEventFilter(this);
    m_close = new QPushButton(QStringLiteral("閉じる"), this);
    m_close->setObjectName(QStringLiteral("Button1"));
    m_close->setDefault(true);
    connect(m_close, &QPushButton::clicked, this, &QDialog::accept);
}

void VersionWindow::showEvent(QShowEvent* event)
{
    // Site label, link and button centred horizontally on every showing.
    const auto centre = [this](QWidget* w, int top) {
        w->adjustSize();
        w->move(width() / 2 - w->width() / 2, top);
    };
    centre(m_siteLabel, 110);
    centre(m_link, 134);
    m_close->resize(90, m_close->sizeHint().height());
    m_close->move(width() / 2 - m_close->width() / 2, 180);
    centreDialog(*this, m_owner);
    QDialog::showEvent(event);
}

bool VersionWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_link && event->type() == QEvent::MouseButtonRelease)
        openWebPage(QLatin1String(kProductSiteUrl), this);
    return QDialog::eventFilter(watched, event);
}

} // namespace varnesk
