#include "panel/key_map.h"

#include <array>

#include "panel/control_panel.h"

namespace panel {

using match::MatchState;

namespace {

    enum class When { Always, Running, NotRunning };

    struct KeyBinding {
        int key; // a Qt key code, or 0 for a character binding
        char16_t character;
        When when;
        PanelAction action;
    };

    const std::array kBindings {
        KeyBinding { Qt::Key_F2, 0, When::Always, &ControlPanel::toggleWindowButtons },
        KeyBinding { Qt::Key_F3, 0, When::Always, &ControlPanel::minimise },
        KeyBinding { Qt::Key_F4, 0, When::Always, &ControlPanel::closeProgram },
        // F5 starts a ready match or resets an ended one; Esc ends a running one.
        KeyBinding { Qt::Key_F5, 0, When::NotRunning, &ControlPanel::startOrEndMatch },
        KeyBinding { Qt::Key_Escape, 0, When::Running, &ControlPanel::startOrEndMatch },
        KeyBinding { Qt::Key_F11, 0, When::Always, &ControlPanel::toggleFullScreen },
        KeyBinding { 0, u'a', When::Running, &ControlPanel::addPointForPlayer1 },
        KeyBinding { 0, u'd', When::Running, &ControlPanel::takePointFromPlayer1 },
        KeyBinding { 0, u'j', When::Running, &ControlPanel::addPointForPlayer2 },
        KeyBinding { 0, u'l', When::Running, &ControlPanel::takePointFromPlayer2 },
    };

    bool applies(When when, MatchState state)
    {
        return when == When::Always || (when == When::Running) == (state == MatchState::Running);
    }

} // namespace

std::optional<PanelAction> actionForKey(int qtKey, QStringView text, Qt::KeyboardModifiers modifiers, MatchState state)
{
    const bool typed = text.size() == 1 && !modifiers.testFlag(Qt::AltModifier);
    for (const KeyBinding& binding : kBindings) {
        const bool matches
            = binding.key != 0 ? binding.key == qtKey : typed && text.front().unicode() == binding.character;
        if (matches)
            return applies(binding.when, state) ? std::optional(binding.action) : std::nullopt;
    }
    return std::nullopt;
}

} // namespace panel
