#!/usr/bin/env bash
# F4 ends the program at once with exit code 0, in full-screen mode with a match running,
# and both its windows go. Nothing else is tried: if F4 does not end it, the check fails.
#
# usage: x11_close.sh SCOREBOARD (SCREENPIXEL and XS_ARTIFACTS in the environment)
# shellcheck disable=SC2317 # predicates are called through xs_wait_until
set -uo pipefail

here=$(dirname "${BASH_SOURCE[0]}")
# shellcheck source-path=SCRIPTDIR source=xsession.sh
source "$here/xsession.sh"
# shellcheck source-path=SCRIPTDIR source=panel_session.sh
source "$here/panel_session.sh"

sb_start "${1:?usage: x11_close.sh SCOREBOARD}"

# Both windows up, and a match under way, which F4 does not ask about.
# Command8, the match button, sits at panel-relative 286..372 x 456..481.
command8_face() {
    sb_face 290 462 368 476
}
command8_changed() {
    [[ $(command8_face) != "$1" ]]
}
xs_activate "$SB_PANEL" || xs_die "the panel did not become active"
ready_face=$(command8_face)
# F5 first: F11 hands the focus to the backdrop for a moment, and a key typed then would go there.
xs_key "$SB_PANEL" F5 F11
xs_wait_until 3000 sb_full_screen_up || xs_die "full screen not up 3 s after F11 (stacking: ${XS_STACKING:-?})"
xs_log "full screen up ${XS_WAITED_MS} ms after F11"
xs_wait_until 2000 command8_changed "$ready_face" || xs_die "Command8 looks the same after F5: no match started"
xs_log "Command8 changed its face after F5: a match is running"
sb_still_running "F4 was pressed"

xs_key "$SB_PANEL" F4
if xs_wait_until 2000 xs_exited "$SB_PID"; then
    xs_log "F4 ended the program in ${XS_WAITED_MS} ms"
    xs_collect "$SB_PID"
    xs_log "exit code $XS_RC"
    ((XS_RC == 0)) || xs_check_failed "scoreboard exited with code $XS_RC after F4, expected 0"
else
    xs_check_failed "scoreboard still running 2 s after F4"
fi

both_gone() {
    xs_window_gone "$SB_PANEL" && xs_window_gone "$SB_BACKDROP"
}
if xs_wait_until 1000 both_gone; then
    xs_log "panel $(xs_hex "$SB_PANEL") and backdrop $(xs_hex "$SB_BACKDROP") are gone"
else
    xs_window_gone "$SB_PANEL" || xs_check_failed "panel window $(xs_hex "$SB_PANEL") still exists after F4"
    xs_window_gone "$SB_BACKDROP" || xs_check_failed "backdrop window $(xs_hex "$SB_BACKDROP") still exists after F4"
fi
left=$(xs_windows_named "$SB_PANEL_TITLE"; xs_windows_named "$SB_BACKDROP_TITLE")
[[ -z $left ]] || xs_check_failed "windows still titled $SB_PANEL_TITLE or $SB_BACKDROP_TITLE: $left"

xs_finish x11_close
