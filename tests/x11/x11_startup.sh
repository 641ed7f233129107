#!/usr/bin/env bash
# Start-up on a real X server: the panel appears centred at its design size in
# its colours with its window icon, the backdrop exists but stays hidden, and
# closing the panel ends the program cleanly.
#
# usage: x11_startup.sh SCOREBOARD (SCREENPIXEL and XS_ARTIFACTS in the environment)
# shellcheck disable=SC2317 # the predicates below are called through xs_wait_until
set -uo pipefail

# shellcheck source-path=SCRIPTDIR source=xsession.sh
source "$(dirname "${BASH_SOURCE[0]}")/xsession.sh"

scoreboard=${1:?usage: x11_startup.sh SCOREBOARD}
panel_title=TarnelloV1.9
backdrop_title=Form2
panel_w=657
panel_h=512

xs_start

still_running() {
    xs_exited "$XS_PID" || return 0
    xs_collect "$XS_PID"
    xs_die "scoreboard exited with code $XS_RC before $1; output in $XS_ARTIFACTS/scoreboard.log"
}

panel_mapped() {
    still_running "its panel appeared"
    xs_has_window --mapped "$panel_title"
}

xs_launch scoreboard "$scoreboard"
app=$XS_PID

xs_wait_until 5000 panel_mapped || xs_die "no mapped window titled $panel_title within 5 s"
panel=$XS_WINDOW
xs_log "panel window $panel mapped ${XS_WAITED_MS} ms after launch"

# Size and centring.
xs_geometry "$panel" || xs_die "xwininfo could not read the panel window"
xs_log "panel geometry: ${XS_W}x${XS_H} at ($XS_X, $XS_Y)"
panel_x=$XS_X
panel_y=$XS_Y
if ((XS_W != panel_w || XS_H != panel_h)); then
    xs_check_failed "panel is ${XS_W}x${XS_H}, expected ${panel_w}x${panel_h}"
fi
# Twice the offset from the exact centre, to stay in integers: within 1 px either way.
off_x=$((2 * panel_x + panel_w - XS_WIDTH))
off_y=$((2 * panel_y + panel_h - XS_HEIGHT))
if ((off_x < -2 || off_x > 2 || off_y < -2 || off_y > 2)); then
    xs_check_failed "panel at ($panel_x, $panel_y) is not centred on the ${XS_WIDTH}x${XS_HEIGHT} screen" \
        "(expected x 631 or 632, y 284)"
fi

# Colours. Panel-relative points away from every control, then corners of the
# two score squares (their centres hold the score digit).
at() {
    printf '%d,%d' $((panel_x + $1)) $((panel_y + $2))
}
first_green_painted() {
    [[ $(xs_pixels "$(at 10 100)") == *" 008000" ]]
}
# Mapped is not yet painted: wait for the first frame before sampling.
xs_wait_until 3000 first_green_painted || true
xs_log "background samples (expect 008000):"
# shellcheck disable=SC2046 # one argument per point
xs_expect_colour 008000 $(at 10 10) $(at 646 10) $(at 10 100) $(at 640 100) $(at 328 100) \
    $(at 328 420) $(at 150 490) $(at 500 490) $(at 10 500) $(at 646 500)
xs_log "score square samples (expect FFFF80):"
# shellcheck disable=SC2046
xs_expect_colour FFFF80 $(at 60 236) $(at 212 236) $(at 60 388) $(at 212 388) \
    $(at 436 236) $(at 588 236) $(at 436 388) $(at 588 388)
xs_screenshot startup

# The window icon: one icon with the 32, 48, 64 and 256 pixel images (xprop cuts long properties short
# unless told otherwise).
icons=$(xprop -len 1000000 -id "$panel" -notype -f _NET_WM_ICON 32c _NET_WM_ICON |
    awk -f "$(dirname "${BASH_SOURCE[0]}")/wm_icon.awk" | cut -d' ' -f1 | sort -n | tr '\n' ' ')
xs_log "window icon images: $icons"
[[ $icons == "32x32 48x48 64x64 256x256 " ]] ||
    xs_check_failed "the panel's window icon holds ${icons:-nothing}, expected 32x32 48x48 64x64 256x256"

# The backdrop is created about a second after start and must not show itself.
backdrop_created() {
    still_running "its backdrop was created"
    xs_has_window "$backdrop_title"
}
check_backdrop_hidden() {
    local id
    for id in $(xs_windows_named "$backdrop_title"); do
        xs_geometry "$id" || xs_die "xwininfo could not read the $backdrop_title window"
        xs_log "$backdrop_title window $id: $XS_MAP_STATE ($1)"
        [[ $XS_MAP_STATE == IsUnMapped ]] || xs_check_failed "$backdrop_title is $XS_MAP_STATE $1, expected IsUnMapped"
    done
}
if xs_wait_until 2500 backdrop_created; then
    xs_log "$backdrop_title window exists ${XS_WAITED_MS} ms after the panel was mapped"
    check_backdrop_hidden "when created"
else
    xs_check_failed "no window titled $backdrop_title within 2.5 s of the panel appearing"
fi

# Closing: F4 is the program's own way out; asking the window manager to close
# the panel is the fallback.
close_by_f4() {
    timeout 2 xdotool windowactivate --sync "$panel" >/dev/null 2>&1 || true
    xdotool key --clearmodifiers F4
}
check_backdrop_hidden "before closing"
close_by_f4
if xs_wait_until 1000 xs_exited "$app"; then
    xs_log "F4 ended the program in ${XS_WAITED_MS} ms"
else
    xs_log "F4 did not end the program within 1 s; asking the window manager to close the panel"
    wmctrl -i -c "$(printf '0x%x' "$panel")" || xs_check_failed "wmctrl could not ask to close the panel"
    if xs_wait_until 2000 xs_exited "$app"; then
        xs_log "window manager close ended the program in ${XS_WAITED_MS} ms"
    fi
fi
if xs_exited "$app"; then
    xs_collect "$app"
    xs_log "exit code $XS_RC"
    ((XS_RC == 0)) || xs_check_failed "scoreboard exited with code $XS_RC, expected 0"
else
    xs_check_failed "scoreboard still running 2 s after its panel was asked to close"
fi

xs_finish x11_startup
