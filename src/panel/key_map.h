#pragma once

#include <QStringView>

#include <optional>

#include "match/match.h"

namespace panel {

class ControlPanel;
using PanelAction = void (ControlPanel::*)();

// The panel's slot a key stands for in the given match state. Function keys and Esc go by key code;
// the scoring letters go by the typed character, lower case only, and only while a match runs.
[[nodiscard]] std::optional<PanelAction> actionForKey(int qtKey, QStringView text, match::MatchState state);

} // namespace panel
