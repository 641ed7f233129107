#pragma once

#include <QPoint>
#include <QPointF>

#include <optional>

namespace panel {

// Dragging the panel by its background where the program places its own windows (X11): the point grabbed
// with the left button stays under the pointer until any button comes up. A move is measured on the screen from where
// the pointer and the window were at the press: a window manager moves a window a little after it is asked to, so a
// pointer read against the window's newest place would count a step twice and a busy panel would run ahead.
class Drag {
public:
    // Any button records where it went down; only the left one starts a drag.
    void press(Qt::MouseButton button, QPointF pointer, QPoint windowTopLeft)
    {
        m_dragging = m_dragging || button == Qt::LeftButton;
        m_pressedAt = pointer;
        m_windowAtPress = windowTopLeft;
    }
    // The window's new top-left corner, or nothing when no drag is on.
    [[nodiscard]] std::optional<QPoint> move(QPointF pointer) const
    {
        if (!m_dragging)
            return std::nullopt;
        return m_windowAtPress + (pointer - m_pressedAt).toPoint();
    }
    void release() { m_dragging = false; }

private:
    bool m_dragging = false;
    QPointF m_pressedAt;
    QPoint m_windowAtPress;
};

} // namespace panel
