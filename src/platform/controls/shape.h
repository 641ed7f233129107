#pragma once

#include <QColor>
#include <QWidget>

#include "platform/controls/control_design.h"

namespace controls {

// A rounded rectangle with its border inside the outline and a horizontal-line hatch. It lets the
// mouse through to the window, as a drawn shape does.
class Shape final : public QWidget {
    Q_OBJECT
public:
    Shape(QWidget* parent, const ControlDesign& design);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_border;
    QColor m_hatch;
    int m_penWidth;
};

} // namespace controls
