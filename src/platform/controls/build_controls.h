#pragma once

// A window is a `Form` of a fixed design size, and its controls are rows of a design table (`ControlDesign`, in
// twips); `buildControls` creates them in table order, which is back to front, and sets the tab order. Handlers then
// find controls by their design names: push buttons and name boxes are Qt's own, while `Label`, `PictureFrame`,
// `Shape` and `Line` are drawn here. `ProportionalResizer` keeps a window's controls in proportion to its size.
// Everything is in logical pixels converted from twips, so the device pixel ratio takes care of high-DPI screens.

#include <QWidget>

#include <span>

#include "platform/controls/control_design.h"

namespace controls {

// Creates the rows in order (first row at the back) and sets the tab order by tab index.
void buildControls(QWidget* window, std::span<const ControlDesign> designs);

} // namespace controls
