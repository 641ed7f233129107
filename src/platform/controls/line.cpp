#include "platform/controls/line.h"

#include <QPainter>

namespace controls {

Line::Line(QWidget* parent, const ControlDesign& design)
    : QWidget(parent)
    , m_ends(design.rect)
    , m_colour(design.foreground.resolve(parent->palette()))
    , m_penWidth(design.penWidth)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setScale(1.0, 1.0);
}

void Line::setScale(double factorX, double factorY)
{
    m_line = QLine(twipsToPixels(m_ends.left * factorX), twipsToPixels(m_ends.top * factorY),
        twipsToPixels(m_ends.width * factorX), twipsToPixels(m_ends.height * factorY));
    const int margin = m_penWidth;
    setGeometry(QRect(m_line.p1(), m_line.p2()).normalized().adjusted(-margin, -margin, margin, margin));
    update();
}

void Line::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(QPen(m_colour, m_penWidth, Qt::SolidLine, Qt::SquareCap));
    painter.drawLine(m_line.translated(-pos()));
}

} // namespace controls
