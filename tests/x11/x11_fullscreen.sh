#!/usr/bin/env bash
# F11 on a real X server: the backdrop covers the whole screen with its table outline, the
# panel stays where it was and in front of it, and the full-screen button's caption changes.
# A second F11 takes it all back.
#
# usage: x11_fullscreen.sh SCOREBOARD (SCREENPIXEL and XS_ARTIFACTS in the environment)
# shellcheck disable=SC2317,SC2054 # predicates are called through xs_wait_until; points are X,Y words
set -uo pipefail

here=$(dirname "${BASH_SOURCE[0]}")
# shellcheck source-path=SCRIPTDIR source=xsession.sh
source "$here/xsession.sh"
# shellcheck source-path=SCRIPTDIR source=panel_session.sh
source "$here/panel_session.sh"

sb_start "${1:?usage: x11_fullscreen.sh SCOREBOARD}"
start_x=$SB_PANEL_X
start_y=$SB_PANEL_Y

# Command6 sits at panel-relative 318..387 x 2..26; its caption's glyphs lie on these rows.
command6_face() {
    sb_face 322 8 383 20
}
face_differs_from() {
    face=$(command6_face)
    [[ $face != "$1" ]]
}
face_is() {
    face=$(command6_face)
    [[ $face == "$1" ]]
}

xs_activate "$SB_PANEL" || xs_die "the panel did not become active"
face_off=$(command6_face)

xs_key "$SB_PANEL" F11
if xs_wait_until 3000 sb_full_screen_up; then
    xs_log "full screen up ${XS_WAITED_MS} ms after F11"
else
    xs_check_failed "full screen not up 3 s after F11"
fi

# Each condition on its own, with what was measured.
xs_geometry "$SB_BACKDROP" || xs_die "xwininfo could not read the backdrop window"
xs_log "backdrop: ${XS_W}x${XS_H} at ($XS_X, $XS_Y), $XS_MAP_STATE"
[[ $XS_MAP_STATE == IsViewable ]] || xs_check_failed "backdrop is $XS_MAP_STATE after F11, expected IsViewable"
((XS_X == 0 && XS_Y == 0)) || xs_check_failed "backdrop at ($XS_X, $XS_Y), expected (0, 0)"
((XS_W == XS_WIDTH && XS_H == XS_HEIGHT)) ||
    xs_check_failed "backdrop is ${XS_W}x${XS_H}, expected the screen's ${XS_WIDTH}x${XS_HEIGHT}"

if xs_stacked_above "$SB_PANEL" "$SB_BACKDROP"; then
    xs_log "stacking (bottom to top): $XS_STACKING"
else
    xs_check_failed "panel $(xs_hex "$SB_PANEL") is not above backdrop $(xs_hex "$SB_BACKDROP");" \
        "stacking (bottom to top): $XS_STACKING"
fi

sb_panel_position
xs_log "panel: ${XS_W}x${XS_H} at ($SB_PANEL_X, $SB_PANEL_Y), was at ($start_x, $start_y)"
((SB_PANEL_X == start_x && SB_PANEL_Y == start_y)) ||
    xs_check_failed "panel moved from ($start_x, $start_y) to ($SB_PANEL_X, $SB_PANEL_Y) on F11"
off_x=$((2 * SB_PANEL_X + SB_PANEL_W - XS_WIDTH))
off_y=$((2 * SB_PANEL_Y + SB_PANEL_H - XS_HEIGHT))
((off_x >= -2 && off_x <= 2 && off_y >= -2 && off_y <= 2)) ||
    xs_check_failed "panel at ($SB_PANEL_X, $SB_PANEL_Y) is no longer centred"
((XS_W == SB_PANEL_W && XS_H == SB_PANEL_H)) ||
    xs_check_failed "panel is ${XS_W}x${XS_H}, expected ${SB_PANEL_W}x${SB_PANEL_H}"

# On screen. The top edge of the outline runs at 990 twips down the 10800-twip design
# height: y 99 on a 1080-pixel screen, 3 pixels wide, from x 505 to 1404.
outline_painted() {
    [[ $(xs_pixels 900,99) == *" FFFFFF" ]]
}
xs_wait_until 2000 outline_painted || true
# The other edges, allowing a pixel of rounding either way: bottom y 987, left x 318, right x 1591.
top_edge=(900,99 560,99 1350,99)
bottom_edge=(900,985 900,986 900,987 900,988 900,989)
left_edge=(316,540 317,540 318,540 319,540 320,540)
right_edge=(1589,540 1590,540 1591,540 1592,540 1593,540)
cloth=(960,50 1800,100 1700,900 100,1000 960,1040 450,540 1450,540 1450,900)
score_squares=("$(sb_at 60 236)" "$(sb_at 212 388)" "$(sb_at 436 236)" "$(sb_at 588 388)")
xs_read_pixels "${top_edge[@]}" "${bottom_edge[@]}" "${left_edge[@]}" "${right_edge[@]}" "${cloth[@]}" \
    "${score_squares[@]}"
xs_log "top edge of the outline (expect FFFFFF):"
xs_expect_read FFFFFF "${top_edge[@]}"
white_among() {
    local what=$1 point white=() seen=()
    shift
    for point in "$@"; do
        seen+=("$point ${XS_PIXEL[$point]}")
        [[ ${XS_PIXEL[$point]} == FFFFFF ]] && white+=("$point")
    done
    if ((${#white[@]} > 0)); then
        xs_log "  $what: white at ${white[*]}"
    else
        xs_check_failed "$what: no white pixel among ${seen[*]}"
    fi
}
white_among "bottom edge at x 900" "${bottom_edge[@]}"
white_among "left edge at y 540" "${left_edge[@]}"
white_among "right edge at y 540" "${right_edge[@]}"
xs_log "backdrop cloth inside and outside the outline (expect 008000):"
xs_expect_read 008000 "${cloth[@]}"
xs_log "panel's score squares drawn over the backdrop (expect FFFF80):"
xs_expect_read FFFF80 "${score_squares[@]}"
xs_screenshot fullscreen

if xs_wait_until 1000 face_differs_from "$face_off"; then
    xs_log "Command6 changed its face after F11"
else
    xs_check_failed "Command6 looks the same after F11 as before (its caption did not change)"
fi

# F11 again: the backdrop goes and the button shows its first caption again.
xs_key "$SB_PANEL" F11
if xs_wait_until 2000 xs_is_unmapped "$SB_BACKDROP"; then
    xs_log "backdrop unmapped ${XS_WAITED_MS} ms after the second F11"
else
    xs_check_failed "backdrop is $XS_MAP_STATE 2 s after the second F11, expected IsUnMapped"
fi
if xs_wait_until 1000 face_is "$face_off"; then
    xs_log "Command6 shows its first face again"
else
    xs_check_failed "Command6 does not look as it did before the first F11"
fi

xs_finish x11_fullscreen
