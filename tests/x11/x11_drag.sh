#!/usr/bin/env bash
# Dragging the panel by its green background with the left button: the grabbed point stays
# under the pointer, so the panel moves by exactly the pointer's offset, and stops following
# once the button is up. The right button does not drag.
#
# usage: x11_drag.sh SCOREBOARD (SCREENPIXEL and XS_ARTIFACTS in the environment)
# shellcheck disable=SC2317 # predicates are called through xs_wait_until
set -uo pipefail

here=$(dirname "${BASH_SOURCE[0]}")
# shellcheck source-path=SCRIPTDIR source=xsession.sh
source "$here/xsession.sh"
# shellcheck source-path=SCRIPTDIR source=panel_session.sh
source "$here/panel_session.sh"

sb_start "${1:?usage: x11_drag.sh SCOREBOARD}"
xs_activate "$SB_PANEL" || xs_die "the panel did not become active"

# drag BUTTON PANEL_X PANEL_Y DX DY STEPS: presses BUTTON at the panel-relative point, moves
# the pointer by (DX, DY) in STEPS equal steps and releases. Each step waits only for the
# pointer, not for the panel, as a hand would.
drag() {
    local button=$1 px=$2 py=$3 dx=$4 dy=$5 steps=$6
    local x0=$((SB_PANEL_X + px)) y0=$((SB_PANEL_Y + py)) i
    xdotool mousemove --sync "$x0" "$y0"
    xdotool mousedown "$button"
    for ((i = 1; i <= steps; i++)); do
        xdotool mousemove --sync $((x0 + dx * i / steps)) $((y0 + dy * i / steps))
    done
    xdotool mouseup "$button"
}

# check_left_drag PANEL_X PANEL_Y DX DY STEPS
check_left_drag() {
    local px=$1 py=$2 dx=$3 dy=$4 steps=$5
    sb_panel_position
    local from_x=$SB_PANEL_X from_y=$SB_PANEL_Y
    local want_x=$((from_x + dx)) want_y=$((from_y + dy))
    drag 1 "$px" "$py" "$dx" "$dy" "$steps"
    if xs_wait_until 2000 sb_panel_at "$want_x" "$want_y"; then
        xs_log "left drag from panel ($px, $py) by ($dx, $dy) in $steps steps: panel ($from_x, $from_y) ->" \
            "($SB_PANEL_X, $SB_PANEL_Y)"
    else
        xs_check_failed "left drag from panel ($px, $py) by ($dx, $dy): panel went from ($from_x, $from_y) to" \
            "($SB_PANEL_X, $SB_PANEL_Y), expected ($want_x, $want_y)"
    fi
    # The button is up: moving the pointer on must leave the panel where it is.
    local rest_x=$SB_PANEL_X rest_y=$SB_PANEL_Y
    xdotool mousemove_relative --sync 30 30
    if xs_holds_for 300 sb_panel_at "$rest_x" "$rest_y"; then
        xs_log "  and it stays at ($rest_x, $rest_y) while the released pointer moves on"
    else
        xs_check_failed "panel followed the pointer after the left button came up: ($rest_x, $rest_y) ->" \
            "($SB_PANEL_X, $SB_PANEL_Y)"
    fi
}

check_left_drag 10 300 100 50 5
check_left_drag 620 300 -160 -90 4
xs_screenshot after_left_drags

# The right button records its place but does not drag.
sb_panel_position
right_x=$SB_PANEL_X
right_y=$SB_PANEL_Y
drag 3 10 300 100 50 5
if xs_holds_for 500 sb_panel_at "$right_x" "$right_y"; then
    xs_log "right drag by (100, 50): panel stayed at ($right_x, $right_y)"
else
    xs_check_failed "right drag moved the panel from ($right_x, $right_y) to ($SB_PANEL_X, $SB_PANEL_Y)"
fi

# After the right button, the left one still drags: the right press left nothing behind.
check_left_drag 10 300 40 -30 2

xs_finish x11_drag
