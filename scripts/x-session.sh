# shellcheck shell=bash disable=SC2034 # the XS_ variables are results for the sourcing script
# shellcheck disable=SC2016,SC2015,SC2155,SC2174 # eval'd predicates; A && B || C reports either failing
# A private X session: Xvfb on a display it picks itself, managed by openbox. Sourced by the real-window
# harness (tests/window/run.sh), bench/run and scripts/screenshots. xs_start starts both and waits until they answer; on
# exit, xs_stop ends them and every client started with xs_launch (or added to XS_LAUNCHED).
#
# Waits poll every 20 ms against a deadline: as quick as the program allows, bounded when it hangs.
# XS_ARTIFACTS is the folder for logs (a temporary one by default); XS_WIDTH and XS_HEIGHT the screen.

XS_WIDTH=${XS_WIDTH:-1920} XS_HEIGHT=${XS_HEIGHT:-1080} XS_LAUNCHED=()

xs_die() { printf 'FAIL: %s\n' "$*" >&2 && exit 1; }
xs_now_ms() { local t=${EPOCHREALTIME/[.,]/} && echo $((t / 1000)); }
xs_exited() { ! kill -0 "$1" 2>/dev/null; }
# xs_collect PID: XS_RC is the exit code of a client that has ended (only in the shell that started it).
xs_collect() { XS_RC=0 && wait "$1" || XS_RC=$?; }
# xs_wait_until MS COMMAND...: runs COMMAND until it succeeds, or fails once MS have passed.
xs_wait_until() {
    local end=$(($(xs_now_ms) + $1)) && shift
    until "$@"; do (($(xs_now_ms) < end)) && sleep 0.02 || return 1; done
}
# xs_launch NAME COMMAND...: a client in the background; its pid in XS_PID, its stdout and stderr in
# $XS_ARTIFACTS/NAME.1 and NAME.2.
xs_launch() { "${@:2}" >"$XS_ARTIFACTS/$1.1" 2>"$XS_ARTIFACTS/$1.2" & XS_PID=$! && XS_LAUNCHED+=("$XS_PID"); }

xs_start() {
    local tool try
    for tool in Xvfb openbox xdotool xwininfo xprop wmctrl import; do
        command -v $tool >/dev/null || xs_die "$tool is not installed (scripts/setup --tests installs it)"
    done
    XS_ARTIFACTS=${XS_ARTIFACTS:-$(mktemp -d "${TMPDIR:-/tmp}/xsession.XXXXXX")}
    export XDG_RUNTIME_DIR=$XS_ARTIFACTS/runtime && mkdir -p -m 700 "$XDG_RUNTIME_DIR"
    trap xs_stop EXIT && trap 'exit 130' INT TERM
    # -displayfd: Xvfb takes the first free display and names it once it accepts clients. A server started
    # at the same moment elsewhere can still win that number, and this one then exits: try again.
    for try in 1 2 3; do
        : >"$XS_ARTIFACTS/displayfd"
        Xvfb -displayfd 3 -screen 0 "${XS_WIDTH}x${XS_HEIGHT}x24" -dpi 96 -nolisten tcp \
            3>"$XS_ARTIFACTS/displayfd" >"$XS_ARTIFACTS/xvfb.log" 2>&1 &
        XS_XVFB_PID=$!
        xs_wait_until 30000 eval '[[ -s $XS_ARTIFACTS/displayfd ]] || xs_exited $XS_XVFB_PID'
        [[ -s $XS_ARTIFACTS/displayfd ]] && break || kill $XS_XVFB_PID 2>/dev/null
    done
    [[ -s $XS_ARTIFACTS/displayfd ]] || xs_die "Xvfb did not start in $try tries; see $XS_ARTIFACTS/xvfb.log"
    export DISPLAY=:$(head -n1 "$XS_ARTIFACTS/displayfd") QT_QPA_PLATFORM=xcb
    # Nothing inherited from the desktop that started the checks.
    unset QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS QT_AUTO_SCREEN_SCALE_FACTOR QT_ENABLE_HIGHDPI_SCALING \
        WAYLAND_DISPLAY XDG_SESSION_TYPE SESSION_MANAGER
    # Openbox names itself on the root window before it handles map requests, and one made in between is lost
    # (about one start in ten): it runs its start-up command once it does handle them.
    rm -f "$XS_ARTIFACTS/wm-ready"
    openbox --sm-disable --startup "touch '$XS_ARTIFACTS/wm-ready'" >"$XS_ARTIFACTS/openbox.log" 2>&1 &
    XS_WM_PID=$!
    xs_wait_until 30000 eval 'xs_exited $XS_WM_PID || [[ -e $XS_ARTIFACTS/wm-ready ]]' &&
        ! xs_exited $XS_WM_PID || xs_die "openbox did not start; see $XS_ARTIFACTS/openbox.log"
    # The pointer off the middle of the screen, where the panel opens, so no hover effect is in the pixels.
    xdotool mousemove --sync 1 1
}

xs_stop() {
    local pid
    for pid in "${XS_LAUNCHED[@]}" ${XS_WM_PID:-} ${XS_XVFB_PID:-}; do
        xs_exited "$pid" || { kill "$pid" && xs_wait_until 3000 xs_exited "$pid" || kill -KILL "$pid"; } 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    XS_LAUNCHED=() XS_WM_PID='' XS_XVFB_PID=''
}
