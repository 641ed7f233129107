#pragma once

#include <QStringView>
#include <Qt>

#include <optional>

#include "match/match.h"

namespace panel {

class ControlPanel;
using PanelAction = void (ControlPanel::*)();

// The panel's slot a key stands for in the given match state. Function keys and Esc go by key code, whatever the
// modifiers; the scoring letters go by the typed character, lower case only, only while a match runs and only
// without Alt, which makes a letter a menu accelerator on desktops, never typed text.
[[nodiscard]] std::optional<PanelAction> actionForKey(
    int qtKey, QStringView text, Qt::KeyboardModifiers modifiers, match::MatchState state);

} // namespace panel
