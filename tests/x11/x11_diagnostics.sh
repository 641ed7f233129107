#!/usr/bin/env bash
# Start-up diagnostics as the operator meets them: the command line's answers and refusals; with no
# display to open, the program says so in one plain line on stderr and ends with a failure code (not a
# crash); with no Chinese face installed it says which package to install, in one line, and still runs.
#
# usage: x11_diagnostics.sh SCOREBOARD (XS_ARTIFACTS in the environment)
# shellcheck disable=SC2317 # the predicates below are called through xs_wait_until
set -uo pipefail

# shellcheck source-path=SCRIPTDIR source=xsession.sh
source "$(dirname "${BASH_SOURCE[0]}")/xsession.sh"

scoreboard=${1:?usage: x11_diagnostics.sh SCOREBOARD}
panel_title=TarnelloV1.9

xs_start

# expect_one_line LOG WHAT PATTERN: LOG holds exactly one line, from the program, matching PATTERN.
expect_one_line() {
    local log=$1 what=$2 pattern=$3 lines
    lines=$(grep -c . "$log")
    xs_log "$what: $(head -n3 "$log")"
    ((lines == 1)) || xs_check_failed "$what: $lines lines on stderr, expected one: $(tr '\n' '|' <"$log")"
    grep -q "^scoreboard: .*$pattern" "$log" || xs_check_failed "$what: no line 'scoreboard: ...$pattern...' on stderr"
}

# The command line, with no display at all: --help and --version are answered, anything else is refused with
# one line and a hint, and none of them reaches for a window system.
while IFS='|' read -r args want_rc stream lines pattern; do
    out=$XS_ARTIFACTS/cli.out
    # shellcheck disable=SC2086 # ARGS is a word list
    env -u DISPLAY -u WAYLAND_DISPLAY timeout 10 "$scoreboard" $args >"$out.1" 2>"$out.2"
    rc=$?
    xs_log "scoreboard $args: exit code $rc, $(head -n1 "$out.$stream")"
    ((rc == want_rc)) || xs_check_failed "scoreboard $args: exit code $rc, expected $want_rc: $(cat "$out.2")"
    other=$((3 - stream))
    [[ -s $out.$other ]] && xs_check_failed "scoreboard $args: unexpected output on fd $other: $(cat "$out.$other")"
    [[ -z $lines || $(grep -c '' "$out.$stream") == "$lines" ]] || xs_check_failed "scoreboard $args: not $lines line(s) on fd $stream"
    grep -qE "$pattern" "$out.$stream" || xs_check_failed "scoreboard $args: no line matching '$pattern' on fd $stream"
done <<'ROWS'
--help|0|1||^  -v, --version
-h|0|1||^Usage: .*scoreboard \[options\]$
--version|0|1|1|^scoreboard [0-9]+\.[0-9]+$
--bogus|2|2|2|^scoreboard: Unknown option 'bogus'\.$
-platform xcb|2|2|2|^Try 'scoreboard --help'
photo.jpg|2|2|2|^scoreboard: Unexpected argument 'photo\.jpg'
ROWS

# No server: a display number nobody serves, and neither Wayland nor a forced platform.
display=987
while [[ -e /tmp/.X11-unix/X$display ]]; do display=$((display + 1)); done
log=$XS_ARTIFACTS/no-display.log
start=$(xs_now_ms)
env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DISPLAY=":$display" timeout 10 "$scoreboard" >/dev/null 2>"$log"
rc=$?
xs_log "no display: exit code $rc after $(($(xs_now_ms) - start)) ms"
if ((rc == 124)); then
    xs_check_failed "no display: still running after 10 s"
elif ((rc == 0 || rc >= 128)); then
    xs_check_failed "no display: exit code $rc, expected a plain failure (1 to 127), not success or a signal"
fi
expect_one_line "$log" "no display" "DISPLAY"

# No Chinese face: fontconfig pointed at an empty folder.
fonts=$XS_ARTIFACTS/no-fonts
mkdir -p "$fonts/empty" "$fonts/cache"
cat >"$fonts/fonts.conf" <<CONF
<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "urn:fontconfig:fonts.dtd">
<fontconfig><dir>$fonts/empty</dir><cachedir>$fonts/cache</cachedir></fontconfig>
CONF
FONTCONFIG_FILE=$fonts/fonts.conf xs_launch no-cjk-face "$scoreboard"
app=$XS_PID
panel_mapped() {
    xs_exited "$app" && xs_die "with no Chinese face the program ended instead of starting; see $XS_ARTIFACTS/no-cjk-face.log"
    xs_has_window --mapped "$panel_title"
}
xs_wait_until 5000 panel_mapped || xs_die "with no Chinese face no panel was mapped within 5 s"
panel=$XS_WINDOW
timeout 2 xdotool windowactivate --sync "$panel" >/dev/null 2>&1 || true
xdotool key --clearmodifiers F4
if xs_wait_until 2000 xs_exited "$app"; then
    xs_collect "$app"
    ((XS_RC == 0)) || xs_check_failed "no Chinese face: exit code $XS_RC after F4, expected 0"
else
    xs_check_failed "no Chinese face: still running 2 s after F4"
fi
expect_one_line "$XS_ARTIFACTS/no-cjk-face.log" "no Chinese face" "fonts-noto-cjk"

xs_finish x11_diagnostics
