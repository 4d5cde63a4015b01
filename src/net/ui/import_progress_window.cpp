// TForm16 and the import loop around RawImport.
#include "net/ui/import_progress_window.h"

#include "net/raw_record_reader.h"

#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace varnesk {

ImportProgressWindow::ImportProgressWindow(RawImport& import, QWidget* owner)
    : QWidget(owner, Qt::Window | Qt::WindowStaysOnTopHint), m_import(import), m_owner(owner)
{
    setWindowTitle(QStringLiteral("RAWデータ取り込み中"));
    m_label = new QLabel(QStringLiteral("取り込み中..."), this);
    m_label->setObjectName(QStringLiteral("Label1"));
    m_label->setAlignment(Qt::AlignCenter);
    auto* cancel = new QPushButton(QStringLiteral("キャンセル"), this);
    cancel->setObjectName(QStringLiteral("Button1"));
    connect(cancel, &QPushButton::clicked, this, &ImportProgressWindow::cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_label);
    layout->addWidget(cancel, 0, Qt::AlignHCenter);
    resize(220, 90);

    m_blink.setInterval(kImportBlinkMs);
    // Hidden and shown again without moving the button.
    QSizePolicy keep = m_label->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    m_label->setSizePolicy(keep);
    connect(&m_blink, &QTimer::timeout, this, [this] { m_label->setVisible(!m_label->isVisible()); });
}

void ImportProgressWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_owner)
        move(m_owner->frameGeometry().topLeft() + QPoint(10, 60));
}

bool ImportProgressWindow::runImport(const QString& path, const std::function<bool()>& keepGoing)
{
    // A file that cannot be read ends the import before anything shows.
    if (m_running || !QFile(path).open(QIODevice::ReadOnly))
        return false;
    m_running = true;
    m_cancel = false;
    m_label->show();
    m_blink.start();
    show();
    raise();
    const bool opened = m_import.importFile(path, [&] {
        // Reception, repaints and the cancel button between records.
        QCoreApplication::processEvents();
        return !m_cancel && (!keepGoing || keepGoing());
    });
    m_blink.stop();
    m_cancel = false;
    hide();
    m_running = false;
    return opened;
}

} // namespace varnesk
