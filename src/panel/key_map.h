#pragma once

#include <QStringView>

#include <optional>

#include "match/match.h"

namespace panel {

// What the operator can ask of the panel, by button or by key.
enum class Command {
    HideButtons, // Command9
    Minimise, // Command7
    Close, // Command5
    MatchButton, // Command8
    FullScreen, // Command6
    Player1Up, // Command1
    Player1Down, // Command2
    Player2Up, // Command3
    Player2Down, // Command4
};

// The command a key stands for in the given match state. Function keys and Esc go by key code;
// the scoring letters go by the typed character, lower case only, and only while a match runs.
[[nodiscard]] std::optional<Command> commandForKey(int qtKey, QStringView text, match::MatchState state);

} // namespace panel
