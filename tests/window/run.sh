#!/usr/bin/env bash
# The real-window checks. Each row of the table in rows starts the program on a window system of its own
# (see there), sends it keys, clicks and window-manager requests, and reads back what the window system says
# (windows, geometry, stacking, focus) and what the screen shows. A row fails at its first step that does not
# hold; the others run on.
#
# usage: run.sh PROGRAM [ROW...]   (every row when none is named)
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
declare -A win rect face

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

# mapped WINDOW [X Y WxH]: viewable (it and its ancestors mapped), at that place and size.
c_mapped() { geom "${win[$1]}" && SEEN="$X $Y ${W}x$H $MAP" && [[ $MAP == IsViewable && ($# == 1 || "${*:2}" == "$X $Y ${W}x$H") ]]; }
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
c_out() {
    SEEN=$(head -c 300 "$A/scoreboard.$1") && [[ $2 == - || $(grep -c '' "$A/scoreboard.$1") == "$2" ]] &&
        { [[ -z ${3:-} ]] || grep -qzP "(?m)$3" "$A/scoreboard.$1"; }
}

# --- Actions ---------------------------------------------------------------------------------------------------

# Qt ignores keys sent to a window, so they go through the server's focus: the panel's (on Weston, the
# compositor's window) once the window manager has made it active.
a_key() { timeout 5 xdotool windowactivate --sync "${win[target]}" &>/dev/null; xs_wait_until "$T" c_active target && xdotool key --clearmodifiers "$@"; }
a_press() { origin && xdotool mousemove --sync $((PX + ${2%,*})) $((PY + ${2#*,})) mousedown "$1"; }
# move DX DY [STEPS]: the pointer, in equal steps, each waiting for the pointer alone, as a hand would.
a_move() {
    local X Y SCREEN WINDOW i n=${3:-1} && eval "$(xdotool getmouselocation --shell)"
    for ((i = 1; i <= n; i++)); do xdotool mousemove --sync $((X + $1 * i / n)) $((Y + $2 * i / n)) || return; done
}
a_release() { xdotool mouseup "$1"; }
a_drag() { a_press "$1" "$2" && a_move "$3" "$4" "$5" && a_release "$1"; }
a_click() { xdotool mousemove --sync "$1" "$2" click 1; }
# As a taskbar brings a window back, and as Alt+F4 or a taskbar closes one; destroyed by another client.
a_restore() { wmctrl -i -a "${win[panel]}"; }
a_wmclose() { wmctrl -i -c "${win[$1]}"; }
a_destroy() { xdotool windowclose "${win[$1]}"; }
# grey NAME W H: a 16-bit grey PGM of W x H in the row's folder (sparse, so writing it costs nothing), a
# picture that takes a while to decode.
a_grey() { printf 'P5\n%d %d\n65535\n' "$2" "$3" >"$A/$1" && truncate -s $(($(stat -c %s "$A/$1") + 2 * $2 * $3)) "$A/$1"; }
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
program_windows() { xdotool search --pid "$PID" 2>/dev/null | sort | xargs; }
windows_are() { SEEN=$(program_windows) && [[ $SEEN == "$1" ]]; }
# snap NAME X0,Y0,X1,Y1: remembers how that panel-relative rectangle looks, for changed and same.
a_snap() { rect[$1]=$2 && face[$1]=$(digest "$2"); }

# check CHECK [+ CHECK...]: all of them hold now.
check() {
    local i=1 && while ((i <= $#)) && [[ ${!i} != + ]]; do i=$((i + 1)); done
    declare -F "c_$1" >/dev/null || xs_die "$name: no check or action '$1'"
    "c_$1" "${@:2:i-2}" && { ((i > $#)) || check "${@:i+1}"; }
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
start_weston() {
    printf '[shell]\nbackground-color=0xff202020\npanel-position=none\n' >"$A/weston.ini"
    xs_launch weston weston --config="$A/weston.ini" --use-pixman --socket="$sock" --width=1280 --height=800 "$@" && PID=$XS_PID
}

run_row() {
    local line words w step envs=() args=() homes=() trace='' SEEN=''
    line=$(grep -m1 "^$1 " "$here/rows") || xs_die "no row '$1' in $here/rows"
    read -ra words <<<"${line%%|*}"
    name=$1 kind=${words[1]%%:*} sock=scoreboard-$$ A=$base/$1 SRC=$base/$1/screen.miff
    [[ ${words[1]} == *:* ]] && w=${words[1]#*:} && XS_WIDTH=${w%x*} XS_HEIGHT=${w#*x}
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
    weston)
        xs_start && start_weston --backend=x11-backend.so
        xs_wait_until "$T" found target "Weston Compositor - screen0" && geom "${win[target]}" || xs_die "$name: no Weston window"
        OUT=${W}x$H+$X+$Y
        # Weston shows no client before its shell has drawn the background.
        xs_wait_until "$T" c_pixel 202020 "@$((X + 640)),$((Y + 400))" || xs_die "$name: Weston's shell drew nothing"
        launch QT_QPA_PLATFORM=wayland WAYLAND_DISPLAY="$sock" WAYLAND_DEBUG=client
        ;;
    x11)
        xs_start
        launch
        xs_wait_until "$T" found panel TarnelloV1.9 && xs_wait_until "$T" check mapped panel + pixel 008000 10,100 ||
            xs_die "$name: no panel painted green; see $A"
        # The backdrop comes with the first tick of the wall clock, about a second after start.
        xs_wait_until "$T" found backdrop Form2 || xs_die "$name: no backdrop made"
        win[target]=${win[panel]}
        ;;
    esac
    [[ $kind == @(x11|none) ]] || xs_wait_until "$T" c_windowed || xs_die "$name: no panel on Weston's output (saw $SEEN); see $A"
    [[ $kind == none ]] || { origin && PX0=$PX PY0=$PY; }
    IFS=';' read -ra words <<<"${line#*|}"
    for w in "${words[@]}"; do
        read -ra step <<<"$w" && ((${#step[@]})) || continue
        SEEN=
        if declare -F "a_$step" >/dev/null; then "a_$step" "${step[@]:1}"
        elif [[ $step == hold ]]; then holds "${step[@]:1}"
        elif [[ $step == within ]]; then xs_wait_until "${step[1]}" check "${step[@]:2}"
        else xs_wait_until "$T" check "${step[@]}"; fi && continue
        [[ $kind == none ]] || { grab && convert "$SRC" "$A/failed.png"; }
        xs_die "$name: '${step[*]}' did not hold; saw: $SEEN (logs in $A)"
    done
}

rows=("$@")
((${#rows[@]})) || mapfile -t rows < <(sed -n 's/^\([a-z0-9_]*\) .*/\1/p' "$here/rows")
passed=0 failed=0
for row in "${rows[@]}"; do
    start=$(xs_now_ms)
    if (run_row "$row"); then passed=$((passed + 1)) && result=ok; else failed=$((failed + 1)) && result=FAIL; fi
    printf '%-4s %-22s %6d ms\n' "$result" "$row" $(($(xs_now_ms) - start))
done
echo "window: $passed passed, $failed failed"
((failed == 0))
