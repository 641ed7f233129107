#include "panel/drag.h"

#include <cmath>

namespace panel {

int roundHalfEven(double value)
{
    const double down = std::floor(value);
    const double fraction = value - down;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(down, 2.0) != 0.0))
        return static_cast<int>(down) + 1;
    return static_cast<int>(down);
}

void Drag::mouseDown(Qt::MouseButton button, QPointF pointer)
{
    if (button == Qt::LeftButton)
        m_dragging = true;
    m_grab = QPoint(roundHalfEven(pointer.x()), roundHalfEven(pointer.y()));
}

std::optional<QPoint> Drag::mouseMove(QPointF pointer, QPoint windowTopLeft) const
{
    if (!m_dragging)
        return std::nullopt;
    return QPoint(roundHalfEven(windowTopLeft.x() - m_grab.x() + pointer.x()),
        roundHalfEven(windowTopLeft.y() - m_grab.y() + pointer.y()));
}

} // namespace panel
