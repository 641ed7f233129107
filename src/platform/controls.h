#pragma once

// The controls a window is built from. A window lists its controls as `ControlDesign` rows; `buildControls` creates
// them in table order, which is back to front, and sets the tab order. Handlers then find controls by their design
// names: push buttons and name boxes are Qt's own, labels, photo frames, shapes and lines are drawn here.

#include <QWidget>

#include <span>

#include "platform/control_design.h"
#include "platform/label.h"
#include "platform/line.h"
#include "platform/picture_frame.h"
#include "platform/shape.h"

namespace platform {

// Creates the rows in order (first row at the back) and sets the tab order by tab index.
void buildControls(QWidget* window, std::span<const ControlDesign> designs);

} // namespace platform
