#pragma once

#include <span>

#include "platform/controls.h"
#include "platform/form.h"

namespace panel {

[[nodiscard]] const platform::FormDesign& form1Design();
// Back to front: the buttons and name boxes come last, so they lie in front of everything.
[[nodiscard]] std::span<const platform::ControlDesign> form1Controls();

} // namespace panel
