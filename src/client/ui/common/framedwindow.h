#pragma once

// A borderless secondary window with its own title bar (caption and close button),
// draggable by its title bar. The body below the title bar is the window's content.

#include <QWidget>

class QLabel;
class QToolButton;

namespace vantrell::client {

class FramedWindow : public QWidget
{
    Q_OBJECT
public:
    FramedWindow(QWidget *owner, const QString &title, const QString &closeButtonName);

    QWidget *body() const { return m_body; }
    QToolButton *closeButton() const { return m_close; }

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

    // Centres the window over its owner (or the screen).
    void centreOnOwner();

private:
    QWidget *m_body = nullptr;
    QLabel *m_title = nullptr;
    QToolButton *m_close = nullptr;
    bool m_dragging = false;
    QPoint m_dragOffset;
};

} // namespace vantrell::client
