#!/usr/bin/env bash
# High DPI on a real X server: at QT_SCALE_FACTOR=2 on a 3840 x 2160 screen the panel keeps its
# design layout at twice the pixels (1314 x 1024, centred, the score squares 322 pixels wide),
# and draws its text, its default photo and its window icon at the screen's own resolution
# rather than enlarging a half-size picture. Full screen still covers the whole screen.
#
# usage: x11_highdpi.sh SCOREBOARD (SCREENPIXEL and XS_ARTIFACTS in the environment)
# shellcheck disable=SC2317 # the predicates below are called through xs_wait_until
set -uo pipefail

here=$(dirname "${BASH_SOURCE[0]}")
# shellcheck source-path=SCRIPTDIR source=xsession.sh
source "$here/xsession.sh"

scoreboard=${1:?usage: x11_highdpi.sh SCOREBOARD}
[[ -n ${SCREENPIXEL:-} ]] || xs_die "SCREENPIXEL is not set; it names the screenpixel helper"
panel_title=TarnelloV1.9
backdrop_title=Form2
scale=2
panel_w=$((657 * scale))
panel_h=$((512 * scale))

XS_WIDTH=3840
XS_HEIGHT=2160
xs_start
export QT_SCALE_FACTOR=$scale
# Keep the pointer off the panel so no hover effect lands in the sampled pixels.
xdotool mousemove --sync 1 1

xs_launch scoreboard "$scoreboard"
app=$XS_PID
panel_mapped() {
    if xs_exited "$app"; then
        xs_collect "$app"
        xs_die "scoreboard exited with code $XS_RC before its panel appeared; output in $XS_ARTIFACTS/scoreboard.log"
    fi
    xs_has_window --mapped "$panel_title"
}
xs_wait_until 5000 panel_mapped || xs_die "no mapped window titled $panel_title within 5 s"
panel=$XS_WINDOW
xs_geometry "$panel" || xs_die "xwininfo could not read the panel window"
px=$XS_X
py=$XS_Y
xs_log "panel ${XS_W}x${XS_H} at ($px, $py)"
((XS_W == panel_w && XS_H == panel_h)) || xs_check_failed "panel is ${XS_W}x${XS_H}, expected ${panel_w}x${panel_h}"
# Centred to within one logical pixel: twice the offset from the exact centre, in device pixels.
off_x=$((2 * px + XS_W - XS_WIDTH))
off_y=$((2 * py + XS_H - XS_HEIGHT))
if ((off_x < -2 * scale || off_x > 2 * scale || off_y < -2 * scale || off_y > 2 * scale)); then
    xs_check_failed "panel at ($px, $py) is not centred on the ${XS_WIDTH}x${XS_HEIGHT} screen"
fi

at() { printf '%d,%d' $((px + $1)) $((py + $2)); }
painted() { [[ $(xs_pixels "$(at 20 200)") == *" 008000" ]]; }
xs_wait_until 3000 painted || xs_die "the panel was not painted green within 3 s"
xs_screenshot highdpi

# yellow_run AXIS FIXED FROM TO: the first run of FFFF80 along a panel row (AXIS x) or column
# (AXIS y); sets RUN_START and RUN_LENGTH in device pixels, panel-relative.
yellow_run() {
    local axis=$1 fixed=$2 from=$3 to=$4 points=() i point colour
    # Arithmetic, not $(at): a subshell per point would take seconds for a few hundred.
    for ((i = from; i <= to; i++)); do
        if [[ $axis == x ]]; then points+=("$((px + i)),$((py + fixed))"); else points+=("$((px + fixed)),$((py + i))"); fi
    done
    RUN_START=-1
    RUN_LENGTH=0
    i=$from
    while read -r point colour; do
        if [[ $colour == FFFF80 ]]; then
            ((RUN_START < 0)) && RUN_START=$i
            ((RUN_START >= 0 && i == RUN_START + RUN_LENGTH)) && RUN_LENGTH=$((RUN_LENGTH + 1))
        fi
        i=$((i + 1))
    done < <(xs_pixels "${points[@]}")
}

# The score squares: 2410 twips at 15 twips a logical pixel is 161 logical, 322 device pixels,
# from (56, 232) and (432, 232) logical.
square=$((161 * scale))
for label in "Label1 56" "Label2 432"; do
    read -r name left <<<"$label"
    left=$((left * scale))
    top=$((232 * scale))
    yellow_run x $((top + 8)) $((left - 10)) $((left + square + 10))
    xs_log "$name: yellow from x $RUN_START, $RUN_LENGTH px wide"
    ((RUN_START == left && RUN_LENGTH == square)) ||
        xs_check_failed "$name spans $RUN_LENGTH px from x $RUN_START, expected $square px from $left"
    yellow_run y $((left + 8)) $((top - 10)) $((top + square + 10))
    xs_log "$name: yellow from y $RUN_START, $RUN_LENGTH px high"
    ((RUN_START == top && RUN_LENGTH == square)) ||
        xs_check_failed "$name spans $RUN_LENGTH px high from y $RUN_START, expected $square px from $top"
done

# sharp NAME LEFT WIDTH ROW...: rows (panel-relative, device pixels) across hard edges must
# show steps sharper than any enlargement gives, inside single logical pixels (sharpness.awk).
sharp() {
    local name=$1 left=$2 width=$3 points=() row x result
    shift 3
    for row in "$@"; do
        for ((x = left; x < left + width; x++)); do
            points+=("$((px + x)),$((py + row))")
        done
    done
    result=$(xs_pixels "${points[@]}" | awk -v ox="$px" -f "$here/sharpness.awk")
    xs_log "$name: $result"
    local contrast step split
    contrast=$(sed -n 's/.*contrast=\([0-9]*\).*/\1/p' <<<"$result")
    step=$(sed -n 's/.*sharpest_step=\([0-9.]*\).*/\1/p' <<<"$result")
    split=$(sed -n 's/.*split_pixels=\([0-9]*\).*/\1/p' <<<"$result")
    if ((contrast < 80)); then
        xs_check_failed "$name: the sampled rows hold no edges (contrast $contrast); the layout or the picture moved"
        return
    fi
    # Enlarged smoothly, no step is sharper than about half the contrast (0.5 here); drawn
    # natively, the best edge is nearly a full step.
    awk -v s="$step" 'BEGIN { exit !(s >= 0.75) }' ||
        xs_check_failed "$name is blurred: its sharpest step is $step of the contrast, expected at least 0.75"
    ((split >= 4)) || xs_check_failed "$name is a doubled half-size picture: only $split logical pixels show two values"
}
# The "0" of Label1 at its middle rows, and the "+ 照片" of the default photo in Image1
# (144 x 137 logical from (64, 88)), whose text lies 59 to 78 logical pixels down.
sharp "score digit" $((56 * scale)) "$square" $((232 * scale + 120)) $((232 * scale + 161)) $((232 * scale + 200))
sharp "default photo" $((64 * scale)) $((144 * scale)) $((88 * scale + 125)) $((88 * scale + 135)) $((88 * scale + 145))

# The window icon: the taskbar asks for 32 logical pixels, so there must be a 64-pixel image
# drawn as such, not a 32-pixel one doubled.
icons=$(xprop -id "$panel" -notype -f _NET_WM_ICON 32c _NET_WM_ICON | awk -f "$here/wm_icon.awk")
xs_log "window icons (size, blocks with colour, of them not flat): $(tr '\n' ';' <<<"$icons")"
read -r _ blocks split_blocks < <(grep '^64x64 ' <<<"$icons")
if [[ -z ${blocks:-} ]]; then
    xs_check_failed "the panel offers no 64x64 icon for a scale of 2 (it offers: $(cut -d' ' -f1 <<<"$icons" | tr '\n' ' '))"
elif ((split_blocks * 2 < blocks)); then
    xs_check_failed "the 64x64 icon looks doubled: $split_blocks of $blocks 2x2 blocks differ inside"
fi

# Full screen covers the whole screen at this scale too, with the panel in front.
press() {
    timeout 2 xdotool windowactivate --sync "$panel" >/dev/null 2>&1 || true
    xdotool key --clearmodifiers "$1"
}
backdrop_covers() {
    local id
    id=$(xs_windows_named --mapped "$backdrop_title" | head -n1)
    [[ -n $id ]] && xs_geometry "$id" && ((XS_X == 0 && XS_Y == 0 && XS_W == XS_WIDTH && XS_H == XS_HEIGHT))
}
panel_in_front() {
    [[ $(xs_pixels "$(at $((56 * scale + 8)) $((232 * scale + 8)))") == *" FFFF80" ]]
}
backdrop_hidden() {
    [[ -z $(xs_windows_named --mapped "$backdrop_title") ]]
}
press F11
if xs_wait_until 3000 backdrop_covers; then
    xs_log "F11: the backdrop covers ${XS_WIDTH}x${XS_HEIGHT} after ${XS_WAITED_MS} ms"
    xs_wait_until 2000 panel_in_front || xs_check_failed "the panel is not in front of the backdrop at a scale of 2"
    xs_screenshot highdpi-fullscreen
else
    xs_check_failed "F11 did not bring up a backdrop covering ${XS_WIDTH}x${XS_HEIGHT} within 3 s"
fi
press F11
xs_wait_until 3000 backdrop_hidden || xs_check_failed "a second F11 did not hide the backdrop within 3 s"

press F4
if xs_wait_until 2000 xs_exited "$app"; then
    xs_collect "$app"
    ((XS_RC == 0)) || xs_check_failed "scoreboard exited with code $XS_RC, expected 0"
else
    xs_check_failed "scoreboard still running 2 s after F4"
fi

xs_finish x11_highdpi
