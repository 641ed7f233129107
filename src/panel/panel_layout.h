#pragma once

#include <span>

#include "platform/controls/control_design.h"
#include "platform/controls/form.h"

namespace panel {

[[nodiscard]] const controls::FormDesign& panelDesign();
// Back to front: the buttons and name boxes come last, so they lie in front of everything.
[[nodiscard]] std::span<const controls::ControlDesign> panelControls();

} // namespace panel
