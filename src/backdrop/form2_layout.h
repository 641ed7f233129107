#pragma once

#include <span>

#include "platform/controls.h"
#include "platform/form.h"

namespace backdrop {

[[nodiscard]] const platform::FormDesign& form2Design();
[[nodiscard]] std::span<const platform::ControlDesign> form2Controls();

} // namespace backdrop
