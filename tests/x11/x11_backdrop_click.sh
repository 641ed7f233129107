#!/usr/bin/env bash
# A click on the full-screen backdrop activates it for a moment; the backdrop answers by
# bringing the panel back in front, so the panel ends up on top and active.
#
# usage: x11_backdrop_click.sh SCOREBOARD (SCREENPIXEL and XS_ARTIFACTS in the environment)
# shellcheck disable=SC2317 # predicates are called through xs_wait_until
set -uo pipefail

here=$(dirname "${BASH_SOURCE[0]}")
# shellcheck source-path=SCRIPTDIR source=xsession.sh
source "$here/xsession.sh"
# shellcheck source-path=SCRIPTDIR source=panel_session.sh
source "$here/panel_session.sh"

sb_start "${1:?usage: x11_backdrop_click.sh SCOREBOARD}"

xs_key "$SB_PANEL" F11
xs_wait_until 3000 sb_full_screen_up || xs_die "full screen not up 3 s after F11 (stacking: ${XS_STACKING:-?})"
xs_log "full screen up ${XS_WAITED_MS} ms after F11"

panel_in_front_and_active() {
    xs_stacked_above "$SB_PANEL" "$SB_BACKDROP" && xs_is_active "$SB_PANEL"
}
# Let the front keeper's tick (100 ms after F11) pass, so it is the click that is answered.
xs_wait_until 1000 panel_in_front_and_active || true
xs_holds_for 200 panel_in_front_and_active || true

click_point=(1700 900)
xdotool mousemove --sync "${click_point[@]}" click 1
xs_log "clicked the backdrop at (${click_point[0]}, ${click_point[1]})"
# The click first activates the backdrop: wait for the answer, then make sure it lasts.
if xs_wait_until 2000 panel_in_front_and_active; then
    xs_log "panel in front and active ${XS_WAITED_MS} ms after the click"
    if xs_holds_for 300 panel_in_front_and_active; then
        xs_log "and still so over 300 ms: stacking (bottom to top) $XS_STACKING, active $(xs_hex "$XS_ACTIVE")"
    else
        xs_check_failed "panel lost its place ${XS_WAITED_MS} ms later: stacking (bottom to top)" \
            "$XS_STACKING, active $(xs_hex "${XS_ACTIVE:-0}")"
    fi
else
    xs_stacked_above "$SB_PANEL" "$SB_BACKDROP" ||
        xs_check_failed "panel $(xs_hex "$SB_PANEL") not above backdrop $(xs_hex "$SB_BACKDROP") 2 s after" \
            "the click; stacking (bottom to top): $XS_STACKING"
    xs_is_active "$SB_PANEL" ||
        xs_check_failed "active window is $(xs_hex "$XS_ACTIVE") 2 s after the click, expected the panel $(xs_hex "$SB_PANEL")"
fi

# The click changes nothing else: the backdrop still covers the screen.
xs_geometry "$SB_BACKDROP" || xs_die "xwininfo could not read the backdrop window"
xs_log "backdrop: ${XS_W}x${XS_H} at ($XS_X, $XS_Y), $XS_MAP_STATE"
[[ $XS_MAP_STATE == IsViewable ]] || xs_check_failed "backdrop is $XS_MAP_STATE after the click, expected IsViewable"
((XS_X == 0 && XS_Y == 0 && XS_W == XS_WIDTH && XS_H == XS_HEIGHT)) ||
    xs_check_failed "backdrop is ${XS_W}x${XS_H} at ($XS_X, $XS_Y) after the click, expected the whole screen"
xs_log "panel's score squares on screen after the click (expect FFFF80):"
# shellcheck disable=SC2046 # one argument per point
xs_expect_colour FFFF80 $(sb_at 60 236) $(sb_at 588 388)
xs_screenshot after_click

xs_finish x11_backdrop_click
