#!/usr/bin/env bash
# The scoreboard as a native Wayland client of Weston, in one of three parts:
#
#   headless    Headless Weston and no X server at all: in a Wayland session
#               (XDG_SESSION_TYPE=wayland, no DISPLAY) Qt picks its Wayland plugin by itself, and
#               the panel maps at its design size in its colours, as weston-screenshooter sees
#               the output.
#   input       Headless Weston has no input devices, so this part runs Weston with its X11
#               backend inside a private Xvfb: keys typed into Weston's window reach the
#               scoreboard through Weston's own keyboard, the pointer through Weston's pointer,
#               and the output is on the X screen to read. Checked: the keyboard map (F5, a/d,
#               j/l, Esc, F5), dragging the panel's background handed to the compositor (an
#               xdg_toplevel.move request, and the panel moving with the pointer), F4 ending the
#               program with code 0.
#   fullscreen  The same set-up: F11 covers the whole output with the backdrop (an
#               xdg_toplevel.set_maximized request), the panel shows in front of it, and the
#               keyboard still reaches the panel: F11 again takes the backdrop away, F4 ends it.
#
# usage: wayland_weston.sh SCOREBOARD PART (SCREENPIXEL and XS_ARTIFACTS in the environment)
# shellcheck disable=SC2317 # the predicates below are called through xs_wait_until
set -uo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source-path=SCRIPTDIR source=../x11/xsession.sh
source "$here/../x11/xsession.sh"

scoreboard=${1:?usage: wayland_weston.sh SCOREBOARD headless|input|fullscreen}
part=${2:?usage: wayland_weston.sh SCOREBOARD headless|input|fullscreen}
[[ -n ${SCREENPIXEL:-} ]] || xs_die "SCREENPIXEL is not set; it names the screenpixel helper"
xs_require weston weston-screenshooter convert
qt_plugins=$(dirname "$(dirname "$(find /usr/lib -path '*/qt6/plugins/platforms/libqxcb.so' -print -quit 2>/dev/null)")")
[[ -f $qt_plugins/platforms/libqwayland-generic.so ]] ||
    xs_die "Qt's Wayland platform plugin is not installed (package qt6-wayland; scripts/test installs it)"

out_w=1280
out_h=800
panel_w=657
panel_h=512
XS_ARTIFACTS=${XS_ARTIFACTS:-$(mktemp -d "${TMPDIR:-/tmp}/wayland.XXXXXX")}
mkdir -p "$XS_ARTIFACTS"
# The headless part runs without xs_start; stop whatever it started on any exit.
trap xs_stop EXIT

# green_box PNG: the bounding box of the pure 008000 pixels (both windows' background) in
# BOX_X, BOX_Y, BOX_W, BOX_H.
green_box() {
    local info
    BOX_W=0
    BOX_H=0
    info=$(convert "$1" -fill black +opaque '#008000' -trim info:- 2>/dev/null) || return 1
    read -r BOX_W BOX_H BOX_X BOX_Y < <(sed -n 's/.* \([0-9]*\)x\([0-9]*\) [0-9]*x[0-9]*+\([0-9]*\)+\([0-9]*\) .*/\1 \2 \3 \4/p' <<<"$info")
    [[ -n ${BOX_Y:-} ]] && ((BOX_W > 1))
}

# yellow_pixels PNG: how many pixels are exactly FFFF80, the score squares' colour. The
# backdrop has none; the two squares have 2 x 161 x 161, less their digits.
yellow_pixels() {
    convert "$1" -fill black +opaque '#FFFF80' -fill white -opaque '#FFFF80' \
        -format '%[fx:round(mean*w*h)]' info:- 2>/dev/null
}

# wait_socket NAME PID: weston with PID has opened its socket NAME.
wait_socket() {
    xs_exited "$2" && xs_die "weston exited during start-up; see the weston logs in $XS_ARTIFACTS"
    [[ -S $XDG_RUNTIME_DIR/$1 ]]
}

still_running() {
    xs_exited "$app" || return 0
    xs_collect "$app"
    xs_die "scoreboard exited with code $XS_RC $1; output in $XS_ARTIFACTS/scoreboard.log"
}

# --- headless -------------------------------------------------------------------------------

run_headless() {
    export XDG_RUNTIME_DIR=$XS_ARTIFACTS/runtime
    mkdir -p "$XDG_RUNTIME_DIR" "$XS_ARTIFACTS/shots"
    chmod 700 "$XDG_RUNTIME_DIR"
    # --debug lets weston-screenshooter read the output.
    xs_launch weston weston --config="$here/weston.ini" --backend=headless-backend.so --use-pixman --debug \
        --socket=scoreboard-headless --width=$out_w --height=$out_h
    local weston=$XS_PID
    xs_wait_until 5000 wait_socket scoreboard-headless "$weston" ||
        xs_die "headless weston did not open its socket within 5 s; see $XS_ARTIFACTS/weston.log"

    xs_launch scoreboard env -u DISPLAY -u QT_QPA_PLATFORM XDG_SESSION_TYPE=wayland \
        WAYLAND_DISPLAY=scoreboard-headless WAYLAND_DEBUG=client "$scoreboard"
    app=$XS_PID
    headless_panel_shown() {
        still_running "on headless weston"
        local shot
        rm -f "$XS_ARTIFACTS"/shots/wayland-screenshot-*.png
        (cd "$XS_ARTIFACTS/shots" && WAYLAND_DISPLAY=scoreboard-headless weston-screenshooter >/dev/null 2>&1) || return 1
        shot=$(find "$XS_ARTIFACTS/shots" -name 'wayland-screenshot-*.png' -print -quit)
        [[ -n $shot ]] || return 1
        mv "$shot" "$XS_ARTIFACTS/headless.png"
        green_box "$XS_ARTIFACTS/headless.png" && ((BOX_W == panel_w && BOX_H == panel_h))
    }
    if xs_wait_until 8000 headless_panel_shown; then
        xs_log "panel ${BOX_W}x${BOX_H} at ($BOX_X, $BOX_Y) of the ${out_w}x${out_h} output after ${XS_WAITED_MS} ms"
        local yellow
        yellow=$(yellow_pixels "$XS_ARTIFACTS/headless.png")
        xs_log "score squares: $yellow pixels of FFFF80"
        ((yellow > 30000)) || xs_check_failed "the panel shows only $yellow pixels of its score squares' FFFF80"
    else
        xs_check_failed "no ${panel_w}x${panel_h} green panel on the output within 8 s (last seen ${BOX_W}x${BOX_H}); see $XS_ARTIFACTS/headless.png"
    fi
    grep -q 'xdg_toplevel@[0-9]*\.set_title("TarnelloV1.9")' "$XS_ARTIFACTS/scoreboard.log" ||
        xs_check_failed "the panel did not title its toplevel TarnelloV1.9"
}

# --- weston inside Xvfb ---------------------------------------------------------------------

# start_nested: Xvfb, weston's X11 backend in it, and the scoreboard on weston. Sets ox, oy
# (the output's corner on the X screen), weston_win, app, PX, PY (the panel's corner).
start_nested() {
    xs_start
    export XDG_RUNTIME_DIR=$XS_ARTIFACTS/runtime
    xdotool mousemove --sync 1 1
    xs_launch weston weston --config="$here/weston.ini" --backend=x11-backend.so --use-pixman \
        --socket=scoreboard-x11 --width=$out_w --height=$out_h
    local weston=$XS_PID
    weston_window() {
        wait_socket scoreboard-x11 "$weston" || return 1
        XS_WINDOW=$(xwininfo -root -tree | awk '/"Weston Compositor - screen0"/ { print $1; exit }')
        [[ -n $XS_WINDOW ]]
    }
    xs_wait_until 5000 weston_window || xs_die "weston's X11 output window did not appear within 5 s; see $XS_ARTIFACTS/weston.log"
    weston_win=$XS_WINDOW
    xs_geometry "$weston_win" || xs_die "xwininfo could not read weston's window"
    ox=$XS_X
    oy=$XS_Y
    xs_log "weston output ${XS_W}x${XS_H} at ($ox, $oy) on the X screen"
    # Weston shows no client window before its shell client has drawn the background, so a program
    # started earlier can stay unseen: wait for the background colour first.
    shell_ready() { [[ $(xs_pixels "$((ox + out_w / 2)),$((oy + out_h / 2))") == *202020* ]]; }
    xs_wait_until 5000 shell_ready || xs_die "weston's shell drew no background within 5 s; see $XS_ARTIFACTS/weston.log"

    xs_launch scoreboard env QT_QPA_PLATFORM=wayland WAYLAND_DISPLAY=scoreboard-x11 WAYLAND_DEBUG=client "$scoreboard"
    app=$XS_PID
    locate_panel
    xs_log "panel at ($((PX - ox)), $((PY - oy))) on the output, placed by weston"
}

screen_box() {
    xs_screenshot screen >/dev/null
    green_box "$XS_ARTIFACTS/screen.png"
}
panel_found() {
    still_running "while the panel was looked for"
    screen_box && ((BOX_W == panel_w && BOX_H == panel_h))
}
# locate_panel: finds the panel on the X screen; sets PX, PY.
locate_panel() {
    xs_wait_until 5000 panel_found || xs_die "no ${panel_w}x${panel_h} panel on weston's output within 5 s (saw ${BOX_W}x${BOX_H})"
    PX=$BOX_X
    PY=$BOX_Y
}

# face X0 Y0 X1 Y1: a digest of a panel-relative rectangle, to tell whether it changed.
face() {
    local points=() x y
    # Arithmetic, not a function call: a subshell per point would make one digest take seconds.
    for ((y = PY + $2; y <= PY + $4; y += 3)); do
        for ((x = PX + $1; x <= PX + $3; x += 2)); do
            points+=("$x,$y")
        done
    done
    xs_pixels "${points[@]}" | md5sum | cut -d' ' -f1
}
score1() { face 60 240 212 388; }
score2() { face 436 240 588 388; }
match_button() { face 287 457 370 481; }
face_is() { [[ $("$1") == "$2" ]]; }
face_is_not() { [[ $("$1") != "$2" ]]; }

# Keys go to the X window weston draws into; weston passes them to its focused client.
type_keys() {
    timeout 2 xdotool windowactivate --sync "$weston_win" >/dev/null 2>&1 || true
    xdotool key --clearmodifiers "$@"
}

# wait_face CHECK REGION FACE WHAT: polls CHECK (face_is or face_is_not) on REGION against FACE.
wait_face() {
    local check=$1 region=$2 face=$3 what=$4
    if xs_wait_until 5000 "$check" "$region" "$face"; then
        xs_log "$what after ${XS_WAITED_MS} ms"
    else
        xs_check_failed "not seen within 5 s: $what"
    fi
}

close_with_f4() {
    type_keys F4
    if xs_wait_until 5000 xs_exited "$app"; then
        xs_collect "$app"
        xs_log "F4 ended the program with code $XS_RC"
        ((XS_RC == 0)) || xs_check_failed "scoreboard exited with code $XS_RC, expected 0"
    else
        xs_check_failed "scoreboard still running 5 s after F4"
    fi
}

count_requests() {
    grep -c "xdg_toplevel@[0-9]*\.$1(" "$XS_ARTIFACTS/scoreboard.log"
}

run_input() {
    start_nested
    # The first paint of a label is not always pixel-identical to later paints of the same
    # text (its anti-aliased edges differ), so each "0" to come back to is one painted after
    # a change.
    local start_caption running_caption first one zero
    start_caption=$(match_button)
    type_keys F5
    wait_face face_is_not match_button "$start_caption" "F5: the match button's caption changed"
    running_caption=$(match_button)

    first=$(score1)
    type_keys a
    wait_face face_is_not score1 "$first" "a: player 1's score changed"
    one=$(score1)
    type_keys d
    wait_face face_is_not score1 "$one" "d: player 1's score changed back"
    zero=$(score1)
    type_keys a a a
    wait_face face_is_not score1 "$zero" "a a a: player 1's score left 0"
    type_keys d d d
    wait_face face_is score1 "$zero" "d d d: player 1's score is 0 again"

    first=$(score2)
    type_keys j
    wait_face face_is_not score2 "$first" "j: player 2's score changed"
    one=$(score2)
    type_keys l
    wait_face face_is_not score2 "$one" "l: player 2's score changed back"
    zero=$(score2)
    type_keys j j
    wait_face face_is_not score2 "$zero" "j j: player 2's score left 0"
    xs_screenshot keys
    type_keys Escape
    wait_face face_is_not match_button "$running_caption" "Esc: the match button's caption changed (match ended)"
    type_keys F5
    wait_face face_is score2 "$zero" "F5 after Esc: player 2's score reset to 0"

    # Dragging: a press on the background asks weston to move the panel; once weston has
    # taken the pointer (the panel sees it leave), the panel follows the pointer.
    local moves from_x=$PX from_y=$PY step
    moves=$(count_requests move)
    move_asked() {
        (($(count_requests move) > moves)) &&
            sed -n '/xdg_toplevel@[0-9]*\.move(/,$p' "$XS_ARTIFACTS/scoreboard.log" | grep -q 'wl_pointer@[0-9]*\.leave('
    }
    xdotool mousemove --sync $((PX + 10)) $((PY + 100)) mousedown 1
    if xs_wait_until 5000 move_asked; then
        xs_log "drag: the panel handed the move to weston ${XS_WAITED_MS} ms after the press"
    else
        xs_check_failed "a press on the panel's background sent no xdg_toplevel.move request within 2 s"
    fi
    for step in 1 2 3 4; do
        xdotool mousemove --sync $((PX + 10 + 20 * step)) $((PY + 100 + 15 * step))
    done
    xdotool mouseup 1
    moved() {
        screen_box && ((BOX_W == panel_w && BOX_H == panel_h && BOX_X == from_x + 80 && BOX_Y == from_y + 60))
    }
    if xs_wait_until 3000 moved; then
        xs_log "drag: weston moved the panel by (80, 60) with the pointer"
    else
        xs_check_failed "dragging by (80, 60) moved the panel by ($((BOX_X - from_x)), $((BOX_Y - from_y)))"
    fi
    xdotool mousemove --sync 1 1
    close_with_f4
}

run_fullscreen() {
    start_nested
    output_covered() {
        still_running "during full screen"
        screen_box && ((BOX_X == ox && BOX_Y == oy && BOX_W == out_w && BOX_H == out_h))
    }
    # The compositor may place the panel anew when it brings it in front, so look for the
    # score squares anywhere on the screen.
    panel_in_front() {
        xs_screenshot screen >/dev/null
        YELLOW=$(yellow_pixels "$XS_ARTIFACTS/screen.png")
        ((${YELLOW:-0} > 30000))
    }
    type_keys F11
    if xs_wait_until 3000 output_covered; then
        xs_log "F11: the backdrop covers the ${out_w}x${out_h} output after ${XS_WAITED_MS} ms"
        (($(count_requests set_maximized) > 0)) || xs_check_failed "full screen without an xdg_toplevel.set_maximized request"
        if xs_wait_until 5000 panel_in_front; then
            xs_log "the panel's score squares show in front of the backdrop"
        else
            xs_check_failed "full screen: the panel is not in front of the backdrop (${YELLOW:-0} pixels of FFFF80 on the screen)"
        fi
    else
        xs_check_failed "F11 did not cover the output with the backdrop within 3 s (green box ${BOX_W}x${BOX_H} at ($BOX_X, $BOX_Y))"
    fi
    xs_screenshot fullscreen
    type_keys F11
    if xs_wait_until 3000 panel_found; then
        xs_log "F11 again: the backdrop is gone, the panel alone on the output"
    else
        xs_check_failed "full screen: a second F11 did not take the backdrop away within 3 s (the keys do not reach the panel)"
    fi
    close_with_f4
}

case $part in
headless) run_headless ;;
input) run_input ;;
fullscreen) run_fullscreen ;;
*) xs_die "unknown part '$part'; expected headless, input or fullscreen" ;;
esac
xs_finish "wayland_$part"
