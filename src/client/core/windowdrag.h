#pragma once

// Moves a borderless window when the user drags it by any point that is not a control
// of its own (labels and empty areas pass their presses on to the window).

#include <QObject>
#include <QPoint>
#include <QPointer>

class QWidget;

namespace vantrell::client {

class WindowDragger final : public QObject
{
    Q_OBJECT
public:
    // Installs itself on `window`; owned by it.
    explicit WindowDragger(QWidget *window);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPointer<QWidget> m_window;
    QPoint m_offset;
    bool m_dragging = false;
};

} // namespace vantrell::client
