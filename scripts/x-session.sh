# shellcheck shell=bash disable=SC2034 # the XS_ variables are results for the sourcing script
# shellcheck disable=SC2016,SC2015,SC2155,SC2174 # eval'd predicates; A && B || C reports either failing
# A private X session: Xvfb on a display it picks itself, managed by openbox or another desktop's window manager; or a
# private Wayland compositor. Sourced by the real-window harness (tests/window/run.sh), bench/run and
# scripts/screenshots. xs_start starts Xvfb and its window manager, xs_start_compositor a compositor, each waiting
# until they answer; on exit, xs_stop ends them and every client started with xs_launch (or added to XS_LAUNCHED).
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

# xs_start [MANAGER]: Xvfb with the window manager MANAGER (openbox by default; see xs_manager).
xs_start() {
    local tool try
    for tool in Xvfb xdotool xwininfo xprop wmctrl import; do
        command -v $tool >/dev/null || xs_die "$tool is not installed (scripts/setup --tests installs it)"
    done
    XS_ARTIFACTS=${XS_ARTIFACTS:-$(mktemp -d "${TMPDIR:-/tmp}/xsession.XXXXXX")}
    export XDG_RUNTIME_DIR=$XS_ARTIFACTS/runtime && mkdir -p -m 700 "$XDG_RUNTIME_DIR"
    trap xs_stop EXIT && trap 'exit 130' INT TERM
    # -displayfd: Xvfb takes the first free display and names it once it accepts clients. A server started
    # at the same moment elsewhere can still win that number, and this one then exits: try again. -noreset: by
    # default Xvfb resets whenever its last client leaves, and refuses connections meanwhile; a window manager
    # connecting while the harness polls for it (one client at a time) then found no display.
    for try in 1 2 3; do
        : >"$XS_ARTIFACTS/displayfd"
        Xvfb -displayfd 3 -screen 0 "${XS_WIDTH}x${XS_HEIGHT}x24" -dpi 96 -nolisten tcp -noreset \
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
    xs_manager "${1:-openbox}"
    # The pointer off the middle of the screen, where the panel opens, so no hover effect is in the pixels.
    xdotool mousemove --sync 1 1
}

# xs_start_compositor COMPOSITOR SOCKET: a Wayland compositor (weston, mutter or kwin: see xs_manager) serving
# SOCKET, with no X server but Weston's (it runs in a window on Xvfb, with openbox to give that window the keys).
xs_start_compositor() {
    XS_ARTIFACTS=${XS_ARTIFACTS:-$(mktemp -d "${TMPDIR:-/tmp}/xsession.XXXXXX")}
    export XDG_RUNTIME_DIR=$XS_ARTIFACTS/runtime && mkdir -p -m 700 "$XDG_RUNTIME_DIR"
    trap xs_stop EXIT && trap 'exit 130' INT TERM
    if [[ $1 == weston ]]; then xs_start openbox; else unset DISPLAY; fi
    xs_manager "wayland-$1" "$2"
}

# xs_manager NAME [SOCKET]: starts a window manager or compositor with a home and a session bus of its own (the
# desktops' managers keep settings and reach their services there), and waits until it manages windows. NAME is
#   on Xvfb: openbox; mutter (GNOME on Xorg; it composites, so a minimised window stays mapped, marked Iconic in its
#     WM_STATE); xfwm4 (Xfce); kwin_x11 (Plasma on X11);
#   on Wayland, serving SOCKET: wayland-weston (in a 1280x800 window on Xvfb), wayland-mutter (GNOME's, headless) and
#     wayland-kwin (Plasma's, virtual), both on a 1920x1080 output.
xs_manager() {
    local home=$XS_ARTIFACTS/manager-home cmd ready
    local own=(env -u XDG_CONFIG_HOME -u XDG_DATA_HOME -u XDG_CACHE_HOME -u XDG_STATE_HOME)
    mkdir -p "$home" && rm -f "$XS_ARTIFACTS/wm-ready"
    local -x HOME=$home DBUS_SESSION_BUS_ADDRESS=unix:path=$XDG_RUNTIME_DIR/manager-bus
    # A window manager sets _NET_SUPPORTING_WM_CHECK once it has taken the screen; a compositor is ready once its
    # socket and the D-Bus service the harness drives it by are there.
    ready='xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"'
    case $1 in
    # Openbox names itself on the root window before it handles map requests, and one made in between is lost
    # (about one start in ten): it runs its start-up command once it does handle them.
    openbox) cmd=(openbox --sm-disable --startup "touch '$XS_ARTIFACTS/wm-ready'") ready='[[ -e $XS_ARTIFACTS/wm-ready ]]' ;;
    mutter) cmd=(mutter --x11 --replace --sm-disable) ;;
    xfwm4) cmd=(xfwm4 --replace --compositor=off) ;;
    kwin_x11) cmd=(kwin_x11 --replace) ;;
    wayland-weston)
        printf '[shell]\nbackground-color=0xff202020\npanel-position=none\n[input-method]\npath=\n' >"$XS_ARTIFACTS/weston.ini"
        cmd=(weston --config="$XS_ARTIFACTS/weston.ini" --use-pixman --socket="$2" --width=1280 --height=800
            --backend=x11-backend.so) ready="[[ -S \$XDG_RUNTIME_DIR/$2 ]]"
        ;;
    wayland-mutter)
        cmd=(mutter --headless --wayland --no-x11 --virtual-monitor 1920x1080 --wayland-display="$2")
        ready="[[ -S \$XDG_RUNTIME_DIR/$2 ]] && xs_bus_has org.gnome.Mutter.RemoteDesktop"
        ;;
    wayland-kwin)
        # Plasma's binary carries file capabilities (Debian 12's CAP_SYS_RESOURCE, to raise its limits) that a
        # sandbox without them in its bounding set cannot exec (EPERM); a copy without them runs the same (named as
        # the original, which its platform plugin checks).
        cmd=(kwin_wayland --virtual --no-lockscreen --socket="$2" --width=1920 --height=1080)
        if kwin_wayland --version &>/dev/null; (($? == 126)); then
            mkdir -p "$XS_ARTIFACTS/kwin" && cp /usr/bin/kwin_wayland "$XS_ARTIFACTS/kwin/" && cmd[0]=$XS_ARTIFACTS/kwin/kwin_wayland
        fi
        ready="[[ -S \$XDG_RUNTIME_DIR/$2 ]] && xs_bus_has org.kde.KWin"
        ;;
    *) xs_die "no window manager or compositor '$1'" ;;
    esac
    command -v "${cmd[0]}" >/dev/null || xs_die "${cmd[0]} is not installed (scripts/setup --tests installs it)"
    if [[ $1 != @(openbox|wayland-weston) ]]; then
        "${own[@]}" dbus-daemon --session --nofork --address="$DBUS_SESSION_BUS_ADDRESS" >"$XS_ARTIFACTS/manager-bus.log" 2>&1 &
        XS_BUS_PID=$!
        xs_wait_until 30000 eval '[[ -S ${DBUS_SESSION_BUS_ADDRESS#unix:path=} ]]' || xs_die "no session bus for $1"
    fi
    "${own[@]}" "${cmd[@]}" >"$XS_ARTIFACTS/$1.log" 2>&1 &
    XS_WM_PID=$! XS_BUS=$DBUS_SESSION_BUS_ADDRESS
    xs_wait_until 30000 eval "xs_exited \$XS_WM_PID || { $ready; } 2>/dev/null" && ! xs_exited $XS_WM_PID && return
    # What the display answers now, for a manager that could not open it.
    [[ -n ${XS_XVFB_PID:-} ]] && { xs_exited "$XS_XVFB_PID" && echo "Xvfb has ended" || xprop -root _NET_SUPPORTING_WM_CHECK
        "${own[@]}" xprop -root _NET_SUPPORTING_WM_CHECK; } >>"$XS_ARTIFACTS/$1.log" 2>&1
    xs_die "$1 did not start${XS_XVFB_PID:+ on $DISPLAY}; see $XS_ARTIFACTS/$1.log"
}
# xs_bus_has NAME: the manager's session bus has a service of that name.
xs_bus_has() {
    [[ $(dbus-send --bus="$DBUS_SESSION_BUS_ADDRESS" --print-reply=literal --dest=org.freedesktop.DBus / \
        org.freedesktop.DBus.NameHasOwner "string:$1" 2>/dev/null) == *true ]]
}

xs_stop() {
    local pid
    for pid in "${XS_LAUNCHED[@]}" ${XS_WM_PID:-} ${XS_BUS_PID:-} ${XS_XVFB_PID:-}; do
        xs_exited "$pid" || { kill "$pid" && xs_wait_until 3000 xs_exited "$pid" || kill -KILL "$pid"; } 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    XS_LAUNCHED=() XS_WM_PID='' XS_BUS_PID='' XS_XVFB_PID=''
}
