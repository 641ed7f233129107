#pragma once

#include <span>

#include "platform/controls.h"
#include "platform/form.h"

namespace panel {

[[nodiscard]] const platform::FormDesign& panelDesign();
// Back to front: the buttons and name boxes come last, so they lie in front of everything.
[[nodiscard]] std::span<const platform::ControlDesign> panelControls();

} // namespace panel
