#!/usr/bin/env bash
# Every way of closing ends the program at once with exit code 0: F4; the window manager's close request
# (wmctrl -c, as Alt+F4 or a taskbar's close sends it) on the panel in each state and on the backdrop; either
# window destroyed outright (xdotool windowclose); and the end of the desktop session.
#
# usage: x11_close.sh SCOREBOARD (SCREENPIXEL, SESSION_MANAGER_TOOL and XS_ARTIFACTS in the environment)
# shellcheck disable=SC2317 # predicates are called through xs_wait_until
set -uo pipefail

here=$(dirname "${BASH_SOURCE[0]}")
# shellcheck source-path=SCRIPTDIR source=xsession.sh
source "$here/xsession.sh"
# shellcheck source-path=SCRIPTDIR source=panel_session.sh
source "$here/panel_session.sh"

scoreboard=${1:?usage: x11_close.sh SCOREBOARD}
xs_start
xdotool mousemove --sync 1 1

minimised() {
    xs_is_iconic "$SB_PANEL" && xs_is_unmapped "$SB_BACKDROP"
}

# Each row: what it is | keys first | full screen | F3 after that | how it is closed | which window.
# F11 comes after the other keys: it hands the focus to the backdrop for a moment.
while IFS='|' read -r name keys full minimise how window <&3; do
    if [[ $how == logout ]]; then
        # The session: a session manager of our own, known to the scoreboard alone.
        coproc SESSION { "${SESSION_MANAGER_TOOL:?names the session_manager helper, built when libsm-dev and libice-dev are installed (scripts/test installs them)}"; }
        read -r -t 5 address <&"${SESSION[0]}" || xs_die "$name: the session manager did not start"
        sb_launch "$scoreboard" "$address"
        said=
        read -r -t 5 said <&"${SESSION[0]}"
        [[ $said == registered ]] || xs_die "$name: the scoreboard did not join the session (${said:-nothing said})"
    else
        sb_launch "$scoreboard"
    fi
    # shellcheck disable=SC2086 # KEYS is a key list
    [[ -z $keys ]] || xs_key "$SB_PANEL" $keys
    if [[ $full == yes ]]; then
        xs_key "$SB_PANEL" F11
        xs_wait_until 3000 sb_full_screen_up || xs_die "$name: full screen not up 3 s after F11"
    fi
    if [[ $minimise == yes ]]; then
        xs_key "$SB_PANEL" F3
        xs_wait_until 3000 minimised || xs_die "$name: not minimised 3 s after F3"
    fi
    target=$SB_PANEL
    [[ $window == backdrop ]] && target=$SB_BACKDROP
    case $how in
    F4) xs_key "$SB_PANEL" F4 ;;
    wm) wmctrl -i -c "$(xs_hex "$target")" || xs_check_failed "$name: wmctrl could not ask to close" ;;
    destroy) xdotool windowclose "$target" || xs_check_failed "$name: xdotool could not destroy the window" ;;
    logout)
        # As a desktop logs out: save yourself for a shutdown, then die once saved.
        echo logout >&"${SESSION[1]}"
        said=
        while read -r -t 3 line <&"${SESSION[0]}"; do said+="$line "; done
        xs_log "$name: the session manager saw: $said"
        [[ $said == *saved* ]] || xs_check_failed "$name: the scoreboard did not answer the session's save request"
        ;;
    esac
    if xs_wait_until 2000 xs_exited "$SB_PID"; then
        xs_collect "$SB_PID"
        xs_log "$name: ended ${XS_WAITED_MS} ms after the close, exit code $XS_RC"
        ((XS_RC == 0)) || xs_check_failed "$name: exit code $XS_RC, expected 0"
    else
        xs_check_failed "$name: still running 2 s after the close"
        xs_screenshot "still-running-${name//[^a-z0-9]/-}"
        kill "$SB_PID"
    fi
done 3<<'ROWS'
F4, match running, full screen|F5|yes|no|F4|panel
panel closed, ready|||no|wm|panel
panel closed, match running, full screen|F5|yes|no|wm|panel
panel closed, match ended, buttons hidden, full screen|F5 Escape F2|yes|no|wm|panel
panel closed while minimised from full screen|F5|yes|yes|wm|panel
backdrop closed, full screen|F5|yes|no|wm|backdrop
panel destroyed, full screen|F5|yes|no|destroy|panel
backdrop destroyed, full screen||yes|no|destroy|backdrop
session logout, match running, full screen|F5|yes|no|logout|panel
ROWS

xs_finish x11_close
