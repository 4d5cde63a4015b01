// A side pane of the map (report or altitude): the pane's surface shown in a
// 2-pixel sunken frame, its mouse press and release in surface pixels.
#pragma once

#include <QFrame>
#include <QImage>

#include <functional>

namespace varnesk {

class PaneWidget : public QFrame {
    Q_OBJECT
public:
    // surface gives the picture to show (it may change size between paints).
    PaneWidget(std::function<const QImage&()> surface, const QString& name, QWidget* parent);

Q_SIGNALS:
    void pressed(QPoint at);
    void released(Qt::MouseButton button, QPoint at, Qt::KeyboardModifiers modifiers);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    std::function<const QImage&()> m_surface;
};

} // namespace varnesk
