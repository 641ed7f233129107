#pragma once

#include <QPoint>
#include <QPointF>

#include <optional>

namespace panel {

// Rounds to the nearest integer, halves to the even neighbour.
[[nodiscard]] int roundHalfEven(double value);

// Dragging the panel by its background, in twips: the point grabbed with the left button stays
// under the pointer until any button comes up.
class Drag {
public:
    // Any button records where it went down; only the left one starts a drag.
    void mouseDown(Qt::MouseButton button, QPointF pointer);
    // The window's new top-left corner, or nothing when no drag is on.
    [[nodiscard]] std::optional<QPoint> mouseMove(QPointF pointer, QPoint windowTopLeft) const;
    void mouseUp() { m_dragging = false; }

private:
    bool m_dragging = false;
    QPoint m_grab;
};

} // namespace panel
