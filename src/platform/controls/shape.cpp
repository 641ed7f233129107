#include "platform/controls/shape.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace controls {

Shape::Shape(QWidget* parent, const ControlDesign& design)
    : QWidget(parent)
    , m_border(design.foreground.resolve(parent->palette()))
    , m_hatch(QColor::fromRgb(design.background.value_or(0xFF0000)))
    , m_penWidth(design.penWidth)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void Shape::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // The border lies inside the outline: inset by half the pen.
    const double inset = m_penWidth / 2.0;
    const QRectF outline = QRectF(rect()).adjusted(inset, inset, -inset, -inset);
    const double radius = std::min(width(), height()) / 10.0;
    QPainterPath path;
    path.addRoundedRect(outline, radius, radius);

    painter.save();
    painter.setClipPath(path);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(m_hatch, 1));
    for (int y = 4; y < height(); y += 8)
        painter.drawLine(0, y, width(), y);
    painter.restore();

    painter.setPen(QPen(m_border, m_penWidth));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(path);
}

} // namespace controls
