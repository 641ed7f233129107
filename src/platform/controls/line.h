#pragma once

#include <QColor>
#include <QLine>
#include <QWidget>

#include "platform/controls/control_design.h"

namespace controls {

// A straight line between two design points; it covers only the box around them and lets the
// mouse through.
class Line final : public QWidget {
    Q_OBJECT
public:
    Line(QWidget* parent, const ControlDesign& design);
    void setScale(double factorX, double factorY);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    TwipRect m_ends;
    QColor m_colour;
    int m_penWidth;
    QLine m_line; // in the parent's pixels
};

} // namespace controls
