#!/usr/bin/env bash
# F3 without full-screen mode, then bringing the panel back: the backdrop stays hidden.
# F11 afterwards still shows it, so the hidden backdrop is the program's choice and not
# a window this check cannot see.
#
# usage: x11_minimise_windowed.sh SCOREBOARD (SCREENPIXEL and XS_ARTIFACTS in the environment)
# shellcheck disable=SC2317 # predicates are called through xs_wait_until
set -uo pipefail

here=$(dirname "${BASH_SOURCE[0]}")
# shellcheck source-path=SCRIPTDIR source=xsession.sh
source "$here/xsession.sh"
# shellcheck source-path=SCRIPTDIR source=panel_session.sh
source "$here/panel_session.sh"

sb_start "${1:?usage: x11_minimise_windowed.sh SCOREBOARD}"

backdrop_hidden() {
    xs_is_unmapped "$SB_BACKDROP"
}
backdrop_hidden || xs_die "backdrop is $XS_MAP_STATE before F3, expected IsUnMapped"

xs_key "$SB_PANEL" F3
xs_wait_until 3000 xs_is_iconic "$SB_PANEL" || true
xs_wm_state "$SB_PANEL"
xs_log "after F3 (${XS_WAITED_MS} ms): panel WM_STATE $XS_WM_STATE, _NET_WM_STATE '${XS_NET_WM_STATE}'"
xs_is_iconic "$SB_PANEL" ||
    xs_check_failed "panel not minimised 3 s after F3: WM_STATE $XS_WM_STATE, _NET_WM_STATE '${XS_NET_WM_STATE}'"
backdrop_hidden || xs_check_failed "backdrop is $XS_MAP_STATE after F3, expected IsUnMapped"

panel_back() {
    ! xs_is_iconic "$SB_PANEL" && xs_is_viewable "$SB_PANEL"
}
wmctrl -i -a "$(xs_hex "$SB_PANEL")" || xs_check_failed "wmctrl could not ask to activate the panel"
if xs_wait_until 3000 panel_back; then
    xs_log "panel back ${XS_WAITED_MS} ms after the restore request"
else
    xs_wm_state "$SB_PANEL"
    xs_check_failed "panel not back 3 s after the restore request: WM_STATE $XS_WM_STATE," \
        "_NET_WM_STATE '${XS_NET_WM_STATE}'"
fi
# The backdrop would come back with the panel's own return; watch it for a while.
if xs_holds_for 500 backdrop_hidden; then
    xs_log "backdrop stayed $XS_MAP_STATE for 500 ms after the panel came back"
else
    xs_check_failed "backdrop became $XS_MAP_STATE ${XS_WAITED_MS} ms after the panel came back, expected IsUnMapped"
fi
xs_screenshot restored

xs_key "$SB_PANEL" F11
if xs_wait_until 3000 sb_full_screen_up; then
    xs_log "F11 after the restore showed the backdrop in ${XS_WAITED_MS} ms"
else
    xs_check_failed "F11 after the restore did not bring up full screen within 3 s (backdrop $XS_MAP_STATE)"
fi

xs_finish x11_minimise_windowed
