#!/usr/bin/env bash
# The real-window checks. Each row of the table in rows starts the program on a window system of its own
# (see there), sends it keys, clicks and window-manager requests, and reads back what the window system says
# (windows, geometry, stacking, focus) and what the screen shows. A row fails at its first step that does not
# hold; the others run on. How the harness sees the windows:
#   X11: the X server's windows, properties and screen, whichever window manager runs.
#   Weston: the screen of its window on Xvfb, where the program's windows have no X ids: the panel and backdrop are
#     found by their green; keys and the pointer reach the program through that window.
#   GNOME's and Plasma's compositors run headless, with nothing to screenshot: there the program's own protocol log
#     (WAYLAND_DEBUG) says which windows it shows, at what size, what it asked of the compositor and where the
#     keyboard is, but not where a window stands, what it shows or how they stack. Keys reach GNOME's through its
#     remote-desktop service; Plasma's takes no input from the harness.
#
# usage: run.sh PROGRAM [ROW[@MANAGER]...]   (every row when none is named; a row under each of its managers
#   unless one is named), or run.sh --list
# Environment: XS_ARTIFACTS, the folder where each row leaves its logs (a temporary one by default);
# shellcheck disable=SC2317,SC2329 # the steps and checks are called by name from the table
# shellcheck disable=SC2046,SC2206 # ImageMagick's arguments and points split on purpose (globs are off)
# shellcheck disable=SC2128,SC2015 # $step is a step's first word; A && B || C reports either failing
# shellcheck disable=SC2034,SC2174 # xdotool sets all four of its variables; -m is for the runtime folder itself
set -uo pipefail
set -f # the rows' words are patterns and points, never file names

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source-path=SCRIPTDIR source=../../scripts/x-session.sh
source "$here/../../scripts/x-session.sh"
program=${1:?usage: run.sh PROGRAM [ROW...]} && shift
base=${XS_ARTIFACTS:-$(mktemp -d "${TMPDIR:-/tmp}/window.XXXXXX")}
# Generous: the checks poll, so a deadline costs time only when a step fails, and a loaded machine can be slow.
T=${WINDOW_DEADLINE_MS:-20000}
declare -A win rect face title=([panel]=TarnelloV1.9 [backdrop]=Form2)

# --- Reading back ----------------------------------------------------------------------------------------------

# geom ID: X Y W H and MAP (IsViewable, IsUnMapped) of an X window, as the X server has it.
geom() {
    read -r X Y W H MAP < <(xwininfo -id "$1" 2>/dev/null | awk -F': +' '/Absolute upper-left X/ { x = $2 }
        /Absolute upper-left Y/ { y = $2 } / Width/ { w = $2 } / Height/ { h = $2 } /Map State/ { print x, y, w, h, $2 }')
    [[ -n $MAP ]]
}
# grab: SRC is a picture of the screen: the X root as it shows (Xvfb has no compositor, so exactly what a person
# sees; -screen reads the screen, not each window apart), Weston's window among them.
grab() { import -silent -window root -screen "$SRC"; }
# box: BX BY BW BH, the bounding box of the pure 008000 pixels: the program's green, on Weston where its
# windows have no X ids.
box() { grab && read -r BW BH BX BY < <(convert "$SRC" -fill black +opaque '#008000' -trim -format '%w %h %X %Y\n' info: 2>/dev/null); }
# wl_log: the program's protocol log, one message a line as "[-> ]interface@id.message(arguments)": libwayland 1.23
# writes interface#id and may name the event queue in braces before a message; older ones write interface@id.
wl_log() { sed -E 's/^\[[^]]*\] +//; s/^\{[^}]*\} +//; s/([A-Za-z_][A-Za-z0-9_]*)#([0-9]+)/\1@\2/g' "$A/scoreboard.2"; }
# wl_windows: what the protocol log says of each window, a line each: NAME MAPPED SIZE ACTIVE MINIMISED ABOVE, of
# the window's latest toplevel: 1 while it stands with a buffer; its last configured size; 1 while it has the
# keyboard; 1 from a minimise request to its next keyboard focus; the window it asks to be kept above.
wl_windows() {
    wl_log | awk 'function named(t) { return title[t] == "\"TarnelloV1.9\"" ? "panel" : title[t] == "\"Form2\"" ? "backdrop" : "-" }
        { gsub(/[(),]/, " "); if ($1 == "->") { $1 = ""; $0 = $0 } split($1, m, "."); o = m[1]; k = o in mapped }
        m[2] == "get_xdg_surface" { surface[$4] = $5 }
        m[2] == "get_toplevel" { o = $4; of[surface[m[1]]] = o; mapped[o] = act[o] = min[o] = 0; size[o] = above[o] = "-" }
        k && m[2] == "set_title" { title[o] = $2; latest[named(o)] = o }
        k && m[2] == "configure" && $2 > 0 { size[o] = $2 "x" $3 }
        k && m[2] == "destroy" { mapped[o] = 0 }
        k && m[2] == "set_parent" { above[o] = $2 }
        k && m[2] == "set_minimized" { min[o] = 1 }
        m[2] == "attach" && (t = of[o]) != "" { mapped[t] = $2 != "nil" }
        m[1] ~ /^wl_keyboard@/ && m[2] ~ /^(enter|leave)$/ && (t = of[$3]) != "" { act[t] = m[2] == "enter"; if (act[t]) min[t] = 0 }
        END { for (w in latest) { o = latest[w]; print w, mapped[o] + 0, size[o], act[o] + 0, min[o] + 0, named(above[o]) } }'
}
# wl WINDOW: MAPPED SIZE ACTIVE MINIMISED ABOVE of that window, from wl_windows.
wl() { read -r _ MAPPED SIZE ACTIVE MINIMISED ABOVE < <(wl_windows | grep "^$1 " || echo "$1 0") && SEEN="$1: $MAPPED $SIZE $ACTIVE $MINIMISED $ABOVE"; }
# origin: PX PY, the panel's corner on the screen.
origin() { if [[ $kind == x11 ]]; then geom "${win[panel]}" && PX=$X PY=$Y && grab; else box && PX=$((BX)) PY=$((BY)); fi; }
# crop X0,Y0,X1,Y1: ImageMagick's arguments for that panel-relative rectangle.
crop() { local r=(${1//,/ }) && origin && echo "-crop $((r[2] - r[0] + 1))x$((r[3] - r[1] + 1))+$((PX + r[0]))+$((PY + r[1])) +repage"; }
digest() { convert "$SRC" $(crop "$1") -depth 8 rgb:- | md5sum; }
# found NAME TITLE: win[NAME] is the window titled exactly TITLE.
found() {
    xs_exited "$PID" && xs_die "$name: the program ended before $1 showed; see $A"
    win[$1]=$(xwininfo -name "$2" 2>/dev/null | sed -n 's/.*Window id: \(0x[0-9a-f]*\).*/\1/p') && [[ -n ${win[$1]} ]]
}

# --- Checks: each sets SEEN to what it found ----------------------------------------------------------------------

# mapped WINDOW [X Y WxH]: viewable (it and its ancestors mapped) and not minimised, at that place and size. A
# compositing window manager keeps a minimised window mapped: its WM_STATE says Iconic.
c_mapped() {
    geom "${win[$1]}" && SEEN="$X $Y ${W}x$H $MAP" && [[ $MAP == IsViewable && ($# == 1 || "${*:2}" == "$X $Y ${W}x$H") ]] &&
        ! xprop -id "${win[$1]}" WM_STATE | grep -q Iconic
}
c_unmapped() { geom "${win[$1]}" && SEEN=$MAP && [[ $MAP == IsUnMapped ]]; }
# Minimised, in the ICCCM's word or the EWMH's.
c_iconic() { SEEN=$(xprop -id "${win[$1]}" WM_STATE _NET_WM_STATE) && [[ $SEEN == *Iconic* || $SEEN == *_HIDDEN* ]]; }
# above UPPER LOWER: in the window manager's stacking order, bottom to top.
c_above() { SEEN=$(xprop -root _NET_CLIENT_LIST_STACKING | sed 's/.*# //; s/,//g') && [[ " $SEEN " =~ " ${win[$2]} "(.* )?"${win[$1]} " ]]; }
c_active() { SEEN=$(xprop -root _NET_ACTIVE_WINDOW | sed 's/.*# //; s/,.*//') && [[ $SEEN == "${win[$1]}" ]]; }
# moved DX DY: the panel is that far from where it opened.
c_moved() { origin && SEEN="$((PX - PX0)) $((PY - PY0))" && [[ $SEEN == "$1 $2" ]]; }
# pixel RRGGBB POINT...: each panel-relative X,Y (or @X,Y on the screen) shows that colour.
c_pixel() {
    local want=$1 fmt='' p && shift && origin
    for p; do [[ $p == @* ]] && fmt+="%[hex:p{${p#@}}] " || fmt+="%[hex:p{$((PX + ${p%,*})),$((PY + ${p#*,}))}] "; done
    SEEN=$(convert "$SRC" -depth 8 -format "$fmt" info:) && [[ $SEEN == "$(printf "$want %.0s" "$@")" ]]
}
# yellow N: at least N pixels of the score squares' FFFF80 on the screen (less their digits: 2 x 161 x 161).
c_yellow() { grab && SEEN=$(convert "$SRC" -fill black +opaque '#FFFF80' -fill white -opaque '#FFFF80' -format '%[fx:round(mean*w*h)]' info:) && ((SEEN >= $1)); }
# Full screen: the backdrop covers the screen (on Weston its output) and the panel is in front of it.
c_fullscreen() {
    [[ $kind == x11 ]] && { c_mapped backdrop 0 0 "${XS_WIDTH}x$XS_HEIGHT" && c_above panel backdrop; return; }
    box && SEEN="green ${BW}x$BH$BX$BY" && [[ ${BW}x$BH$BX$BY == "$OUT" ]] && c_yellow 30000
}
c_windowed() { if [[ $kind == x11 ]]; then c_unmapped backdrop; else box && SEEN="green ${BW}x$BH" && [[ ${BW}x$BH == 657x512 ]]; fi; }
# icons WxH...: the panel's window icon holds these images, none of them a smaller one doubled.
c_icons() {
    SEEN=$(xprop -len 9999999 -id "${win[panel]}" -notype -f _NET_WM_ICON 32c _NET_WM_ICON | tr -d , | awk '{
        for (i = 3; i + 1 < NF; i = b + w * h) { w = $i; h = $(i + 1); b = i + 2; d = 0
            for (k = 1; k < w * h; k += 2) d += $(b + k) != $(b + k - 1)
            print w "x" h (d ? "" : "-doubled") } }' | sort -n | xargs) && [[ $SEEN == "$*" ]]
}
# The same checks read from the protocol log, where it stands in for the screen: shown and not minimised; minimised,
# asked for with the keyboard gone; full screen, the backdrop covering the output, the panel active and asking to be
# kept above it.
p_mapped() { wl "$1" && ((MAPPED && !MINIMISED)); }
p_unmapped() { wl "$1" && ((!MAPPED)); }
p_iconic() { wl "$1" && ((MINIMISED && !ACTIVE)); }
p_active() { wl "$1" && ((ACTIVE)); }
p_fullscreen() { wl backdrop && ((MAPPED)) && [[ $SIZE == "$OUT" ]] && wl panel && ((MAPPED && ACTIVE)) && [[ $ABOVE == backdrop ]]; }
p_windowed() { p_unmapped backdrop && p_mapped panel && [[ $SIZE == 657x512 ]]; }
# changed NAME: the rectangle snapped as NAME looks different now (and is snapped again); same NAME: as snapped.
c_changed() { SEEN=$(digest "${rect[$1]}") && [[ $SEEN != "${face[$1]}" ]] && face[$1]=$SEEN; }
c_same() { SEEN=$(digest "${rect[$1]}") && [[ $SEEN == "${face[$1]}" ]]; }
# exit CODE: the program ended with CODE, and its windows are gone from the X server.
c_exit() {
    [[ -n ${RC:-} ]] || { xs_exited "$PID" || { SEEN="still running" && return 1; }; xs_collect "$PID" && RC=$XS_RC; }
    SEEN="exit code $RC" && ((RC == $1)) || return 1
    for w in ${win[panel]:-} ${win[backdrop]:-}; do ! xwininfo -id "$w" &>/dev/null || { SEEN+=", $w still there" && return 1; }; done
}
# untouched: the home and XDG folders the row gave the program are still empty, and its trace (STRACE) shows no file
# opened for writing, made, renamed, linked, changed or removed, and no look at a settings file of Qt's: QtProject.conf,
# or any .conf or .ini in those folders or under /etc/xdg but fontconfig's and Qt's logging rules (qtlogging.ini).
c_untouched() {
    SEEN=$(find "${homes[@]}" -mindepth 1 | head -n 3)
    [[ -z $SEEN ]] || return 1
    local calls && calls=$(find "${trace%/*}" -maxdepth 1 -name "${trace##*/}.*" -exec cat {} +) || return 1
    SEEN=$(grep -E '^(open(at)?\(.*(O_WRONLY|O_RDWR|O_CREAT)|(creat|rename|unlink|mkdir|link|symlink|truncate|mknod|chmod|fchmodat|chown|fchownat|lchown|utime)[a-z0-9]*\().* = [0-9]' <<<"$calls" | head -n 3)
    [[ -z $SEEN ]] || return 1
    SEEN=$(grep -E "QtProject\.conf|\"($(printf '%s/|' "${homes[@]}")/etc/xdg/)[^\"]*\.(conf|ini)\"" <<<"$calls" |
        grep -vE '/fontconfig/|/\.fonts\.conf"|/QtProject/qtlogging\.ini"' | head -n 3)
    [[ -z $SEEN ]]
}
# out FD LINES [PATTERN]: the program's stdout (1) or stderr (2) has LINES lines (- for any) and a match for
# the Perl PATTERN (^ and $ at line ends; \s for a space).
# On Wayland, stderr holds the protocol log, read as wl_log writes it.
c_out() {
    local file=$A/scoreboard.$1
    [[ $kind == wayland && $1 == 2 ]] && wl_log >"$A/protocol" && file=$A/protocol
    SEEN=$(head -c 300 "$file") && [[ $2 == - || $(grep -c '' "$file") == "$2" ]] &&
        { [[ -z ${3:-} ]] || grep -qzP "(?m)$3" "$file"; }
}

# --- Actions ---------------------------------------------------------------------------------------------------

# Qt ignores keys sent to a window, so they go through the server's focus: the panel's (on Weston, the
# compositor's window) once the window manager has made it active. GNOME's compositor gets them from its remote
# desktop, as keysyms.
a_key() {
    [[ $view == protocol ]] && { local key && for key; do chord "$key"; done; return; }
    timeout 5 xdotool windowactivate --sync "${win[target]}" &>/dev/null; xs_wait_until "$T" c_active target && xdotool key --clearmodifiers "$@"
}
# chord KEY...: keys held together, by their X names (F1 to F12, Escape, Tab, Alt_L, Shift_L, a letter).
declare -A keysym=([Escape]=ff1b [Tab]=ff09 [Alt_L]=ffe9 [Shift_L]=ffe1)
chord() {
    [[ -n ${KEYS:-} ]] || xs_die "$name: $manager takes no keys from here"
    local key out=() && for key; do [[ $key == F* ]] && out+=("$(printf %x $((0xffbd + ${key#F})))") || out+=("${keysym[$key]:-$(printf %x "'$key")}"); done
    echo "${out[*]}" >&"$KEYS"
}
a_press() { origin && xdotool mousemove --sync $((PX + ${2%,*})) $((PY + ${2#*,})) mousedown "$1"; }
# move DX DY [STEPS]: the pointer, in equal steps, each waiting for the pointer alone, as a hand would.
a_move() {
    local X Y SCREEN WINDOW i n=${3:-1} && eval "$(xdotool getmouselocation --shell)"
    for ((i = 1; i <= n; i++)); do xdotool mousemove --sync $((X + $1 * i / n)) $((Y + $2 * i / n)) || return; done
}
a_release() { xdotool mouseup "$1"; }
a_drag() { a_press "$1" "$2" && a_move "$3" "$4" "$5" && a_release "$1"; }
a_click() { xdotool mousemove --sync "$1" "$2" click 1; }
# As a taskbar brings a window back, and as Alt+F4 or a taskbar closes one; destroyed by another client. Without
# a taskbar, GNOME's compositor brings the panel back with Alt+Tab and closes the window with the keyboard (the
# panel); Plasma's closes a window when a script of its own asks.
a_restore() { if [[ $view == protocol ]]; then chord Alt_L Tab; else wmctrl -i -a "${win[panel]}"; fi; }
a_wmclose() {
    [[ $view != protocol ]] && { wmctrl -i -c "${win[$1]}"; return; }
    [[ $manager == mutter ]] && { [[ $1 == panel ]] && p_active panel && chord Alt_L F4; return; }
    # Plasma 6 (Debian 13) names the list windowList.
    echo "for (const w of (workspace.windowList || workspace.clientList)()) if (w.caption == '${title[$1]}') w.closeWindow();" >"$A/close.js"
    kwin loadScript "string:$A/close.js" string:close && kwin start
}
kwin() { dbus-send --bus="$XS_BUS" --print-reply --dest=org.kde.KWin /Scripting "org.kde.kwin.Scripting.$1" "${@:2}" >/dev/null; }
a_destroy() { xdotool windowclose "${win[$1]}"; }
# grey NAME W H: a 16-bit grey PGM of W x H in the row's folder (sparse, so writing it costs nothing), a
# picture that takes a while to decode.
a_grey() { mkdir -p "$(dirname "$A/$1")" && printf 'P5\n%d %d\n65535\n' "$2" "$3" >"$A/$1" && truncate -s $(($(stat -c %s "$A/$1") + 2 * $2 * $3)) "$A/$1"; }
# pick NAME [X,Y]: a click on the photo frame at X,Y (the first one's by default), then the file from the row's folder
# typed into the open-file dialog with its path; pickname NAME [X,Y], by its bare name, which the dialog finds only
# if it opened in the row's folder. Done once the dialog and its completion popup are destroyed: the popup holds the
# keyboard, and may show again, until the dialog has been torn down, and a key sent before that (the window manager
# has the panel active again as soon as the dialog is unmapped) lands in the popup and is lost.
a_pick() { a_pickname "$A/$1" "${2:-}"; }
a_pickname() {
    local before && before=$(program_windows)
    a_press 1 "${2:-100,150}" && a_release 1 && xs_wait_until "$T" found dialog Open &&
        timeout 5 xdotool windowactivate --sync "${win[dialog]}" &>/dev/null && xdotool type "$1" &&
        xdotool key Return && xs_wait_until "$T" windows_are "$before"
}
# The X windows the program has made, shown or not; windows_are IDS: they are these.
# Found by the panel's own process id, which differs from PID when the program runs under a wrapper (STRACE).
program_windows() {
    local pid && pid=$(xprop -id "${win[panel]}" _NET_WM_PID | awk '{ print $3 }') &&
        { xdotool search --pid "$pid" 2>/dev/null || true; } | sort | xargs
}
windows_are() { SEEN=$(program_windows) && [[ $SEEN == "$1" ]]; }
# snap NAME X0,Y0,X1,Y1: remembers how that panel-relative rectangle looks, for changed and same.
a_snap() { rect[$1]=$2 && face[$1]=$(digest "$2"); }

# check CHECK [+ CHECK...]: all of them hold now.
check() {
    local i=1 && while ((i <= $#)) && [[ ${!i} != + ]]; do i=$((i + 1)); done
    local c=c_$1 && [[ $view == protocol ]] && declare -F "p_$1" >/dev/null && c=p_$1
    declare -F "$c" >/dev/null || xs_die "$name: no check or action '$1'"
    "$c" "${@:2:i-2}" && { ((i > $#)) || check "${@:i+1}"; }
}
# hold MS CHECK...: holds on every look for MS.
holds() { local end=$(($(xs_now_ms) + $1)) && until (($(xs_now_ms) > end)); do check "${@:2}" || return 1; sleep 0.02; done; }

# --- Rows ------------------------------------------------------------------------------------------------------

launch() {
    # Traced, on a session bus of its own as a desktop session has one (without, libdbus would start one and note it in
    # the home); a file of calls per process, FILE.PID.
    local wrap=() && [[ -z $trace ]] || wrap=(dbus-run-session -- strace -ff -qq -o "$trace" -e trace=%file)
    [[ -z $trace ]] || command -v strace dbus-run-session >/dev/null ||
        xs_die "strace or dbus-run-session is not installed (scripts/setup --tests installs them)"
    xs_launch scoreboard "${wrap[@]}" env "$@" "${envs[@]}" "$program" "${args[@]}" && PID=$XS_PID
}

# managers ROW: the window managers or compositors a row runs under, the first its default.
managers() {
    local kind && kind=$(grep -m1 "^$1 " "$here/rows" | cut -d' ' -f2 | sed -E 's/:?[0-9]+x[0-9]+$//')
    case $kind in x11) echo openbox ;; wayland) echo weston ;; *:*) tr , '\n' <<<"${kind#*:}" ;; *) echo "$kind" ;; esac
}

# run_row ROW MANAGER
run_row() {
    local line words w step envs=() args=() homes=() trace='' SEEN='' KEYS=''
    line=$(grep -m1 "^$1 " "$here/rows") || xs_die "no row '$1' in $here/rows"
    read -ra words <<<"${line%%|*}"
    # Logs in the row's folder, under a manager other than its first in ROW_MANAGER.
    name=$1 manager=$2 kind=${words[1]%%:*} sock=scoreboard-$$ A=$base/$1 && [[ $2 == "$(managers "$1" | head -n1)" ]] || A+=_$2
    SRC=$A/screen.miff
    view=$kind && [[ $kind == wayland ]] && view=protocol && [[ $manager == weston ]] && view=screen
    [[ ${words[1]} =~ :([0-9]+)x([0-9]+)$ ]] && XS_WIDTH=${BASH_REMATCH[1]} XS_HEIGHT=${BASH_REMATCH[2]}
    rm -rf "$A" && mkdir -p "$A" && XS_ARTIFACTS=$A && printf '<fontconfig/>\n' >"$A/no-fonts.conf"
    for ((w = 2; w < ${#words[@]}; w++)); do
        [[ ${words[w]} == -- ]] && args=("${words[@]:w+1}") && break
        [[ ${words[w]} == STRACE=* ]] && trace=${words[w]//\$A/$A} && trace=${trace#STRACE=} && continue
        envs+=("${words[w]//\$A/$A}")
        [[ ${envs[-1]} =~ ^(HOME|XDG_[A-Z]+_HOME)=(.+) ]] && homes+=("${BASH_REMATCH[2]}") && mkdir -p "${BASH_REMATCH[2]}"
    done
    trap xs_stop EXIT
    export XDG_RUNTIME_DIR=$A/runtime && mkdir -p -m 700 "$XDG_RUNTIME_DIR"
    # A home of the row's own, for the program and the servers alike: nothing lands in the home of whoever runs it.
    export HOME=$A/home && mkdir -p "$HOME" && unset XDG_CONFIG_HOME XDG_DATA_HOME XDG_CACHE_HOME XDG_STATE_HOME
    case $kind in
    none) launch -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM ;;
    wayland)
        xs_start_compositor "$manager" "$sock" && OUT=1920x1080 PID=$XS_WM_PID
        if [[ $manager == weston ]]; then
            xs_wait_until "$T" found target "Weston Compositor - screen0" && geom "${win[target]}" || xs_die "$name: no Weston window"
            OUT=${W}x$H+$X+$Y
            # Weston shows no client before its shell has drawn the background.
            xs_wait_until "$T" c_pixel 202020 "@$((X + 640)),$((Y + 400))" || xs_die "$name: Weston's shell drew nothing"
        fi
        launch QT_QPA_PLATFORM=wayland WAYLAND_DISPLAY="$sock" WAYLAND_DEBUG=client
        ;;
    x11)
        xs_start "$manager"
        launch
        xs_wait_until "$T" found panel "${title[panel]}" && xs_wait_until "$T" check mapped panel + pixel 008000 10,100 ||
            xs_die "$name: no panel painted green; see $A"
        # The backdrop comes with the first tick of the wall clock, about a second after start.
        xs_wait_until "$T" found backdrop "${title[backdrop]}" || xs_die "$name: no backdrop made"
        win[target]=${win[panel]}
        ;;
    esac
    [[ $kind == @(x11|none) ]] || xs_wait_until "$T" check windowed || xs_die "$name: no panel on $manager's output (saw $SEEN); see $A"
    if [[ $manager == mutter && $kind == wayland ]]; then
        # The remote desktop's keyboard joins the seat with a key once it is set up, and that key is lost: Shift
        # until the panel has the keyboard.
        # Opened both ways, so neither end waits for the other.
        mkfifo "$A/keys" && exec {KEYS}<>"$A/keys" && xs_launch keys env DBUS_SESSION_BUS_ADDRESS="$XS_BUS" /usr/bin/python3 "$here/remote_keys.py" "$A/keys"
        xs_wait_until "$T" eval 'chord Shift_L && sleep 0.2 && p_active panel' || xs_die "$name: the keyboard did not reach the panel ($SEEN); see $A"
    fi
    [[ $kind == none || $view == protocol ]] || { origin && PX0=$PX PY0=$PY; }
    IFS=';' read -ra words <<<"${line#*|}"
    for w in "${words[@]}"; do
        read -ra step <<<"$w" && ((${#step[@]})) || continue
        SEEN=
        if declare -F "a_$step" >/dev/null; then "a_$step" "${step[@]:1}"
        elif [[ $step == hold ]]; then holds "${step[@]:1}"
        elif [[ $step == within ]]; then xs_wait_until "${step[1]}" check "${step[@]:2}"
        else xs_wait_until "$T" check "${step[@]}"; fi && continue
        [[ $kind == none || $view == protocol ]] || { grab && convert "$SRC" "$A/failed.png"; }
        xs_die "$name: '${step[*]}' did not hold; saw: $SEEN (logs in $A)"
    done
}

# --list: a line for each row under each of its managers, "ROW MANAGER KIND", the row's first manager first.
if [[ $program == --list ]]; then
    for row in $(sed -n 's/^\([a-z0-9_]*\) .*/\1/p' "$here/rows"); do
        for manager in $(managers "$row"); do echo "$row $manager $(grep -m1 "^$row " "$here/rows" | cut -d' ' -f2 | cut -d: -f1)"; done
    done
    exit 0
fi
passed=0 failed=0
# shellcheck disable=SC2048 # row names have no spaces
for row in ${*:-$(sed -n 's/^\([a-z0-9_]*\) .*/\1/p' "$here/rows")}; do
    for manager in $([[ $row == *@* ]] && echo "${row#*@}" || managers "$row"); do
        start=$(xs_now_ms) && row=${row%@*}
        if (run_row "$row" "$manager"); then passed=$((passed + 1)) result=ok; else failed=$((failed + 1)) result=FAIL; fi
        printf '%-4s %-30s %6d ms\n' "$result" "$row@$manager" $(($(xs_now_ms) - start))
    done
done
echo "window: $passed passed, $failed failed"
((failed == 0))
