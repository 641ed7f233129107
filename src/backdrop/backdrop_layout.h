#pragma once

#include <span>

#include "platform/controls.h"
#include "platform/form.h"

namespace backdrop {

[[nodiscard]] const platform::FormDesign& backdropDesign();
[[nodiscard]] std::span<const platform::ControlDesign> backdropControls();

} // namespace backdrop
