# shellcheck shell=bash disable=SC2034 # the XS_ variables are results for the sourcing check
# A private X session for the real-window checks: Xvfb on a free display with
# openbox managing it, plus helpers to launch the program, wait for its windows
# and read pixels off the screen. Source it, call xs_start, and everything it
# started (including programs launched with xs_launch) is stopped on exit.
#
# Waits poll every 20 ms against a deadline, so a check is as fast as the
# program allows and still fails within a bounded time when it does not.
#
# Environment: SCREENPIXEL (path of the screenpixel helper, for xs_pixels and
# xs_screenshot) and XS_ARTIFACTS (folder for logs and screenshots; a temporary
# one by default).

XS_POLL=0.02
XS_WIDTH=1920
XS_HEIGHT=1080
XS_XVFB_PID=
XS_WM_PID=
XS_LAUNCHED=()
XS_FAILURES=0

xs_log() {
    printf '%s\n' "$*"
}

# Records a failed condition and carries on, so one run reports every failure.
xs_check_failed() {
    printf 'FAIL: %s\n' "$*" >&2
    XS_FAILURES=$((XS_FAILURES + 1))
}

# Failure that makes the rest of the check meaningless.
xs_die() {
    printf 'FAIL: %s\n' "$*" >&2
    exit 1
}

xs_now_ms() {
    local t=${EPOCHREALTIME/[.,]/}
    printf '%s\n' $((t / 1000))
}

# xs_wait_until TIMEOUT_MS COMMAND...: runs COMMAND until it succeeds or the
# deadline passes. XS_WAITED_MS holds how long it took.
xs_wait_until() {
    local timeout_ms=$1
    shift
    local start now
    start=$(xs_now_ms)
    while true; do
        if "$@"; then
            now=$(xs_now_ms)
            XS_WAITED_MS=$((now - start))
            return 0
        fi
        now=$(xs_now_ms)
        if ((now - start >= timeout_ms)); then
            XS_WAITED_MS=$((now - start))
            return 1
        fi
        sleep "$XS_POLL"
    done
}

xs_require() {
    local tool
    for tool in "$@"; do
        command -v "$tool" >/dev/null || xs_die "$tool is not installed (scripts/test installs it)"
    done
}

_xs_display_ready() {
    [[ -s $XS_ARTIFACTS/displayfd ]] || return 1
    kill -0 "$XS_XVFB_PID" 2>/dev/null || xs_die "Xvfb exited during start-up; see $XS_ARTIFACTS/xvfb.log"
}

_xs_wm_ready() {
    kill -0 "$XS_WM_PID" 2>/dev/null || xs_die "openbox exited during start-up; see $XS_ARTIFACTS/openbox.log"
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'
}

xs_start() {
    xs_require Xvfb openbox xdotool xwininfo xprop wmctrl
    if [[ -n ${SCREENPIXEL:-} && ! -x $SCREENPIXEL ]]; then
        xs_die "SCREENPIXEL=$SCREENPIXEL is not an executable"
    fi
    if [[ -z ${XS_ARTIFACTS:-} ]]; then
        XS_ARTIFACTS=$(mktemp -d "${TMPDIR:-/tmp}/xsession.XXXXXX")
    fi
    mkdir -p "$XS_ARTIFACTS"
    rm -f "$XS_ARTIFACTS/displayfd"
    trap xs_stop EXIT
    trap 'exit 130' INT TERM

    # -displayfd lets Xvfb pick a free display and tells us once it accepts clients.
    Xvfb -displayfd 3 -screen 0 "${XS_WIDTH}x${XS_HEIGHT}x24" -dpi 96 -nolisten tcp \
        3>"$XS_ARTIFACTS/displayfd" >"$XS_ARTIFACTS/xvfb.log" 2>&1 &
    XS_XVFB_PID=$!
    xs_wait_until 10000 _xs_display_ready || xs_die "Xvfb did not report a display within 10 s"
    DISPLAY=":$(head -n1 "$XS_ARTIFACTS/displayfd")"
    export DISPLAY

    # A clean Qt environment: the xcb platform, no scaling, nothing inherited
    # from the desktop that started the tests.
    export QT_QPA_PLATFORM=xcb
    unset QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS QT_AUTO_SCREEN_SCALE_FACTOR QT_ENABLE_HIGHDPI_SCALING
    unset WAYLAND_DISPLAY XDG_SESSION_TYPE
    export XDG_RUNTIME_DIR=$XS_ARTIFACTS/runtime
    mkdir -p "$XDG_RUNTIME_DIR"
    chmod 700 "$XDG_RUNTIME_DIR"

    openbox --sm-disable >"$XS_ARTIFACTS/openbox.log" 2>&1 &
    XS_WM_PID=$!
    xs_wait_until 10000 _xs_wm_ready || xs_die "openbox did not take over the display within 10 s"
    xs_log "X session: DISPLAY=$DISPLAY ${XS_WIDTH}x${XS_HEIGHT}, Xvfb pid $XS_XVFB_PID, openbox pid $XS_WM_PID"
}

_xs_stop_pid() {
    local pid=$1
    [[ -n $pid ]] && kill -0 "$pid" 2>/dev/null || return 0
    kill "$pid" 2>/dev/null
    xs_wait_until 2000 xs_exited "$pid" || kill -KILL "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    return 0
}

xs_stop() {
    local pid
    for pid in "${XS_LAUNCHED[@]}"; do
        _xs_stop_pid "$pid"
    done
    _xs_stop_pid "$XS_WM_PID"
    _xs_stop_pid "$XS_XVFB_PID"
    XS_LAUNCHED=()
    XS_WM_PID=
    XS_XVFB_PID=
}

# xs_launch LOGNAME COMMAND...: starts a client in the background; its pid is
# in XS_PID and its output goes to $XS_ARTIFACTS/LOGNAME.log.
xs_launch() {
    local name=$1
    shift
    "$@" >"$XS_ARTIFACTS/$name.log" 2>&1 &
    XS_PID=$!
    XS_LAUNCHED+=("$XS_PID")
}

xs_exited() {
    ! kill -0 "$1" 2>/dev/null
}

# xs_collect PID: sets XS_RC to the exit code of a launched client that has
# ended (must run in the shell that launched it, not in a subshell).
xs_collect() {
    XS_RC=0
    wait "$1" || XS_RC=$?
}

# Window ids (decimal) whose title is exactly TITLE. With --mapped only those
# that are viewable. xdotool matches names case-blind, hence the second filter.
xs_windows_named() {
    local mapped=()
    if [[ $1 == --mapped ]]; then
        mapped=(--onlyvisible)
        shift
    fi
    local title=$1 pattern id
    pattern=$(printf '%s' "$title" | sed 's/[][\.*^$+?(){}|]/\\&/g')
    for id in $(xdotool search "${mapped[@]}" --name "^${pattern}\$" 2>/dev/null); do
        [[ $(xdotool getwindowname "$id" 2>/dev/null) == "$title" ]] && printf '%s\n' "$id"
    done
    return 0
}

# xs_has_window [--mapped] TITLE: a one-shot look, setting XS_WINDOW; a
# predicate for xs_wait_until.
xs_has_window() {
    XS_WINDOW=$(xs_windows_named "$@" | head -n1)
    [[ -n $XS_WINDOW ]]
}

# xs_wait_window [--mapped] TITLE TIMEOUT_MS: sets XS_WINDOW to the first
# matching window id.
xs_wait_window() {
    local args=()
    if [[ $1 == --mapped ]]; then
        args=(--mapped)
        shift
    fi
    XS_WINDOW=
    xs_wait_until "$2" xs_has_window "${args[@]}" "$1"
}

# xs_geometry WINDOW: sets XS_X XS_Y (absolute, of the client area), XS_W,
# XS_H and XS_MAP_STATE (IsViewable, IsUnMapped, IsUnviewable).
xs_geometry() {
    local info
    info=$(xwininfo -id "$1") || return 1
    XS_X=$(sed -n 's/^ *Absolute upper-left X: *//p' <<<"$info")
    XS_Y=$(sed -n 's/^ *Absolute upper-left Y: *//p' <<<"$info")
    XS_W=$(sed -n 's/^ *Width: *//p' <<<"$info")
    XS_H=$(sed -n 's/^ *Height: *//p' <<<"$info")
    XS_MAP_STATE=$(sed -n 's/^ *Map State: *//p' <<<"$info")
}

# xs_pixels X,Y...: prints "X,Y RRGGBB" for each screen point.
xs_pixels() {
    [[ -n ${SCREENPIXEL:-} ]] || xs_die "SCREENPIXEL is not set; it names the screenpixel helper"
    "$SCREENPIXEL" "$@"
}

# xs_screenshot NAME: saves the whole screen as $XS_ARTIFACTS/NAME.png.
xs_screenshot() {
    [[ -x ${SCREENPIXEL:-} ]] || return 0
    if "$SCREENPIXEL" --png "$XS_ARTIFACTS/$1.png" >/dev/null; then
        xs_log "screenshot: $XS_ARTIFACTS/$1.png"
    fi
}

# xs_expect_colour COLOUR X,Y...: checks each screen point has COLOUR (RRGGBB).
xs_expect_colour() {
    local want=$1
    shift
    local out point colour count=0
    out=$(xs_pixels "$@") || xs_die "screenpixel could not read the screen"
    while read -r point colour; do
        count=$((count + 1))
        if [[ ${colour^^} == "${want^^}" ]]; then
            xs_log "  $point $colour"
        else
            xs_check_failed "pixel at $point is $colour, expected $want"
        fi
    done <<<"$out"
    ((count == $#)) || xs_die "screenpixel answered $count of $# points"
}

# --- What the window manager says -------------------------------------------------------------

# Hex form for xprop and wmctrl, which print and take window ids that way.
xs_hex() {
    printf '0x%x' "$1"
}

# Client windows from bottom to top as the window manager stacks them
# (_NET_CLIENT_LIST_STACKING), one decimal id a line.
xs_stacking() {
    local id
    for id in $(xprop -root _NET_CLIENT_LIST_STACKING 2>/dev/null | sed -n 's/^.*window id # //p' | tr -d ,); do
        printf '%d\n' "$id"
    done
}

# xs_stacked_above UPPER LOWER: both are managed and UPPER is higher in the stack.
# XS_STACKING holds the order seen (hex ids, bottom to top) for messages.
xs_stacked_above() {
    local order ids upper lower
    order=$(xs_stacking)
    XS_STACKING="(no managed windows)"
    if [[ -n $order ]]; then
        mapfile -t ids <<<"$order"
        XS_STACKING=$(printf '0x%x ' "${ids[@]}")
    fi
    upper=$(grep -nx "$1" <<<"$order" | cut -d: -f1)
    lower=$(grep -nx "$2" <<<"$order" | cut -d: -f1)
    [[ -n $upper && -n $lower ]] && ((upper > lower))
}

# The active window (_NET_ACTIVE_WINDOW) in decimal, 0 when there is none.
xs_active_window() {
    local id
    id=$(xprop -root _NET_ACTIVE_WINDOW 2>/dev/null | sed -n 's/^.*window id # //p' | cut -d, -f1)
    printf '%d\n' "${id:-0}"
}

# xs_is_active WINDOW: a predicate for xs_wait_until; XS_ACTIVE holds what was seen.
xs_is_active() {
    XS_ACTIVE=$(xs_active_window)
    ((XS_ACTIVE == $1))
}

# xs_wm_state WINDOW: sets XS_WM_STATE (Normal, Iconic, Withdrawn, or "none" when the
# window manager has not set WM_STATE) and XS_NET_WM_STATE (the _NET_WM_STATE atoms,
# comma separated, empty when none).
xs_wm_state() {
    local info
    info=$(xprop -id "$1" WM_STATE _NET_WM_STATE 2>/dev/null) || return 1
    XS_WM_STATE=$(sed -n 's/^[[:space:]]*window state: *//p' <<<"$info")
    XS_WM_STATE=${XS_WM_STATE:-none}
    XS_NET_WM_STATE=$(sed -n 's/^_NET_WM_STATE(ATOM) = *//p' <<<"$info")
}

# xs_is_iconic WINDOW: minimised, by either the ICCCM or the EWMH word for it.
xs_is_iconic() {
    xs_wm_state "$1" || return 1
    [[ $XS_WM_STATE == Iconic || $XS_NET_WM_STATE == *_NET_WM_STATE_HIDDEN* ]]
}

# xs_is_viewable WINDOW: the window and all its ancestors are mapped.
xs_is_viewable() {
    xs_geometry "$1" && [[ $XS_MAP_STATE == IsViewable ]]
}

xs_is_unmapped() {
    xs_geometry "$1" && [[ $XS_MAP_STATE == IsUnMapped ]]
}

# xs_window_gone WINDOW: the X server no longer knows the window.
xs_window_gone() {
    ! xwininfo -id "$1" >/dev/null 2>&1
}

# xs_holds_for MS COMMAND...: COMMAND succeeds on every poll for MS milliseconds; fails at
# the first poll where it does not (XS_WAITED_MS says when).
xs_holds_for() {
    local hold_ms=$1
    shift
    local start now
    start=$(xs_now_ms)
    while true; do
        now=$(xs_now_ms)
        XS_WAITED_MS=$((now - start))
        "$@" || return 1
        ((XS_WAITED_MS >= hold_ms)) && return 0
        sleep "$XS_POLL"
    done
}

# --- Input -------------------------------------------------------------------------------------

# xs_activate WINDOW: asks the window manager to activate the window and waits until it
# is the active one. Keys typed with xs_key then go to it: Qt ignores synthetic keys sent
# to a window, so they must come through the server's focus.
xs_activate() {
    timeout 2 xdotool windowactivate --sync "$1" >/dev/null 2>&1 || true
    xs_wait_until 3000 xs_is_active "$1"
}

# xs_key WINDOW KEY...: activates WINDOW, then types the keys.
xs_key() {
    local window=$1
    shift
    xs_activate "$window" || xs_die "window $(xs_hex "$window") did not become active (active: $(xs_hex "$XS_ACTIVE"))"
    xdotool key --clearmodifiers "$@"
}

# xs_read_pixels X,Y...: reads all the points off one grab of the screen into XS_PIXEL
# (point -> RRGGBB), so many expectations are checked against the same instant and the
# helper starts once.
declare -gA XS_PIXEL=()
xs_read_pixels() {
    local out point colour
    out=$(xs_pixels "$@") || xs_die "screenpixel could not read the screen"
    XS_PIXEL=()
    while read -r point colour; do
        XS_PIXEL[$point]=${colour^^}
    done <<<"$out"
    ((${#XS_PIXEL[@]} == $#)) || xs_die "screenpixel answered ${#XS_PIXEL[@]} of $# points"
}

# xs_expect_read COLOUR X,Y...: as xs_expect_colour, on points read by xs_read_pixels.
xs_expect_read() {
    local want=${1^^}
    shift
    local point colour
    for point in "$@"; do
        colour=${XS_PIXEL[$point]:-}
        [[ -n $colour ]] || xs_die "point $point was not among those read"
        if [[ $colour == "$want" ]]; then
            xs_log "  $point $colour"
        else
            xs_check_failed "pixel at $point is $colour, expected $want"
        fi
    done
}

# Ends a check: prints a summary and exits non-zero when any condition failed.
xs_finish() {
    if ((XS_FAILURES > 0)); then
        xs_screenshot final
        printf '%s: %d condition(s) failed; logs in %s\n' "$1" "$XS_FAILURES" "$XS_ARTIFACTS"
        exit 1
    fi
    printf '%s: all conditions held\n' "$1"
    exit 0
}
