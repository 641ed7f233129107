#include "panel/key_map.h"

#include <array>

namespace panel {

using match::MatchState;

namespace {

    enum class When { Always, Running, NotRunning };

    struct KeyBinding {
        int key; // a Qt key code, or 0 for a character binding
        char16_t character;
        When when;
        Command command;
    };

    constexpr std::array kBindings {
        KeyBinding { Qt::Key_F2, 0, When::Always, Command::HideButtons },
        KeyBinding { Qt::Key_F3, 0, When::Always, Command::Minimise },
        KeyBinding { Qt::Key_F4, 0, When::Always, Command::Close },
        // F5 starts a ready match or resets an ended one; Esc ends a running one.
        KeyBinding { Qt::Key_F5, 0, When::NotRunning, Command::MatchButton },
        KeyBinding { Qt::Key_Escape, 0, When::Running, Command::MatchButton },
        KeyBinding { Qt::Key_F11, 0, When::Always, Command::FullScreen },
        KeyBinding { 0, u'a', When::Running, Command::Player1Up },
        KeyBinding { 0, u'd', When::Running, Command::Player1Down },
        KeyBinding { 0, u'j', When::Running, Command::Player2Up },
        KeyBinding { 0, u'l', When::Running, Command::Player2Down },
    };

    bool applies(When when, MatchState state)
    {
        switch (when) {
        case When::Always:
            return true;
        case When::Running:
            return state == MatchState::Running;
        case When::NotRunning:
            return state != MatchState::Running;
        }
        return false;
    }

} // namespace

std::optional<Command> commandForKey(int qtKey, QStringView text, MatchState state)
{
    for (const KeyBinding& binding : kBindings) {
        const bool matches
            = binding.key != 0 ? binding.key == qtKey : text.size() == 1 && text.front().unicode() == binding.character;
        if (matches)
            return applies(binding.when, state) ? std::optional(binding.command) : std::nullopt;
    }
    return std::nullopt;
}

} // namespace panel
