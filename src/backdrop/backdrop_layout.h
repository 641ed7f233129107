#pragma once

#include <span>

#include "platform/controls/control_design.h"
#include "platform/controls/form.h"

namespace backdrop {

[[nodiscard]] const controls::FormDesign& backdropDesign();
[[nodiscard]] std::span<const controls::ControlDesign> backdropControls();

} // namespace backdrop
