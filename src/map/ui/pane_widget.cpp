// The pane paints its surface as the scene last drew it.
#include "map/ui/pane_widget.h"

#include "map/pane_layout.h"

#include <QMouseEvent>
#include <QPainter>

namespace varnesk {

PaneWidget::PaneWidget(std::function<const QImage&()> surface, const QString& name, QWidget* parent)
    : QFrame(parent), m_surface(std::move(surface))
{
    setObjectName(name);
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(kPaneBorderPx);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PaneWidget::paintEvent(QPaintEvent* event)
{
    QFrame::paintEvent(event);
    QPainter p(this);
    const QRect inner = contentsRect();
    p.setClipRect(inner);
    p.fillRect(inner, Qt::black);
    const QImage& image = m_surface();
    if (!image.isNull())
        p.drawImage(inner.topLeft(), image);
}

void PaneWidget::mousePressEvent(QMouseEvent* event)
{
    Q_EMIT pressed(event->position().toPoint() - contentsRect().topLeft());
    event->accept();
}

void PaneWidget::mouseReleaseEvent(QMouseEvent* event)
{
    Q_EMIT released(event->button(), event->position().toPoint() - contentsRect().topLeft(), event->modifiers());
    event->accept();
}

} // namespace varnesk
