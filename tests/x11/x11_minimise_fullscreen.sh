#!/usr/bin/env bash
# F3 in full-screen mode: the panel is minimised and the backdrop goes with it; bringing the
# panel back brings the backdrop back, full screen and behind the panel, and full-screen
# mode is still on (the next F11 switches it off).
#
# usage: x11_minimise_fullscreen.sh SCOREBOARD (SCREENPIXEL and XS_ARTIFACTS in the environment)
# shellcheck disable=SC2317 # predicates are called through xs_wait_until
set -uo pipefail

here=$(dirname "${BASH_SOURCE[0]}")
# shellcheck source-path=SCRIPTDIR source=xsession.sh
source "$here/xsession.sh"
# shellcheck source-path=SCRIPTDIR source=panel_session.sh
source "$here/panel_session.sh"

sb_start "${1:?usage: x11_minimise_fullscreen.sh SCOREBOARD}"

xs_key "$SB_PANEL" F11
xs_wait_until 3000 sb_full_screen_up || xs_die "full screen not up 3 s after F11 (stacking: ${XS_STACKING:-?})"
xs_log "full screen up ${XS_WAITED_MS} ms after F11"

minimised() {
    xs_is_iconic "$SB_PANEL" && xs_is_unmapped "$SB_BACKDROP"
}
xs_key "$SB_PANEL" F3
xs_wait_until 3000 minimised || true
xs_wm_state "$SB_PANEL"
xs_log "after F3 (${XS_WAITED_MS} ms): panel WM_STATE $XS_WM_STATE, _NET_WM_STATE '${XS_NET_WM_STATE}'"
xs_is_iconic "$SB_PANEL" ||
    xs_check_failed "panel not minimised 3 s after F3: WM_STATE $XS_WM_STATE, _NET_WM_STATE '${XS_NET_WM_STATE}'"
xs_geometry "$SB_BACKDROP" || xs_die "xwininfo could not read the backdrop window"
xs_log "after F3: backdrop $XS_MAP_STATE"
[[ $XS_MAP_STATE == IsUnMapped ]] || xs_check_failed "backdrop is $XS_MAP_STATE 3 s after F3, expected IsUnMapped"
xs_screenshot minimised

# Back the way a taskbar does it: ask the window manager to activate the panel.
restored() {
    ! xs_is_iconic "$SB_PANEL" && xs_is_viewable "$SB_PANEL" && sb_full_screen_up
}
wmctrl -i -a "$(xs_hex "$SB_PANEL")" || xs_check_failed "wmctrl could not ask to activate the panel"
if xs_wait_until 3000 restored; then
    xs_log "panel back and backdrop full screen behind it ${XS_WAITED_MS} ms after the restore request"
else
    # Say which part is missing; the backdrop's part is reported below.
    xs_wm_state "$SB_PANEL"
    xs_geometry "$SB_PANEL"
    xs_log "3 s after the restore request: panel WM_STATE $XS_WM_STATE, _NET_WM_STATE '${XS_NET_WM_STATE}', $XS_MAP_STATE"
    if xs_is_iconic "$SB_PANEL" || ! xs_is_viewable "$SB_PANEL"; then
        xs_check_failed "panel not back 3 s after the restore request"
    fi
fi
xs_geometry "$SB_BACKDROP" || xs_die "xwininfo could not read the backdrop window"
xs_log "backdrop: ${XS_W}x${XS_H} at ($XS_X, $XS_Y), $XS_MAP_STATE"
[[ $XS_MAP_STATE == IsViewable ]] ||
    xs_check_failed "backdrop is $XS_MAP_STATE after the panel came back from minimised, expected IsViewable"
((XS_X == 0 && XS_Y == 0 && XS_W == XS_WIDTH && XS_H == XS_HEIGHT)) ||
    xs_check_failed "backdrop is ${XS_W}x${XS_H} at ($XS_X, $XS_Y) after the restore, expected the whole screen"
if xs_stacked_above "$SB_PANEL" "$SB_BACKDROP"; then
    xs_log "stacking (bottom to top): $XS_STACKING"
else
    xs_check_failed "panel not above the backdrop after the restore; stacking (bottom to top): $XS_STACKING"
fi
xs_log "panel's score squares on screen (expect FFFF80):"
# shellcheck disable=SC2046 # one argument per point
xs_expect_colour FFFF80 $(sb_at 60 236) $(sb_at 588 388)
xs_screenshot restored

# Minimising left full-screen mode on: F11 now switches it off.
xs_key "$SB_PANEL" F11
if xs_wait_until 2000 xs_is_unmapped "$SB_BACKDROP"; then
    xs_log "F11 after the restore unmapped the backdrop in ${XS_WAITED_MS} ms: full-screen mode had stayed on"
else
    xs_check_failed "backdrop is $XS_MAP_STATE 2 s after F11 following the restore; full-screen mode was lost"
fi

xs_finish x11_minimise_fullscreen
