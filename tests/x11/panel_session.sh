# shellcheck shell=bash disable=SC2034 # the SB_ variables are results for the sourcing check
# The scoreboard on a private X session: starts the session, launches the program, finds
# its two windows and waits until the panel is painted, so a check starts from a known,
# settled state. Source after xsession.sh.

SB_PANEL_TITLE=TarnelloV1.9
SB_BACKDROP_TITLE=Form2
SB_PANEL_W=657
SB_PANEL_H=512
SB_PID=
SB_PANEL=
SB_BACKDROP=

# Dies with the program's exit code when it ended early; otherwise succeeds.
sb_still_running() {
    xs_exited "$SB_PID" || return 0
    xs_collect "$SB_PID"
    xs_die "scoreboard exited with code $XS_RC before $1; output in $XS_ARTIFACTS/scoreboard.log"
}

_sb_panel_mapped() {
    sb_still_running "its panel appeared"
    xs_has_window --mapped "$SB_PANEL_TITLE"
}

_sb_backdrop_created() {
    sb_still_running "its backdrop was created"
    xs_has_window "$SB_BACKDROP_TITLE"
}

_sb_panel_painted() {
    [[ $(xs_pixels "$(sb_at 10 100)") == *" 008000" ]]
}

# sb_at X Y: the screen point at panel-relative (X, Y), as X,Y for screenpixel.
sb_at() {
    printf '%d,%d' $((SB_PANEL_X + $1)) $((SB_PANEL_Y + $2))
}

# sb_panel_position: sets SB_PANEL_X, SB_PANEL_Y (and XS_W, XS_H) from the window system.
sb_panel_position() {
    xs_geometry "$SB_PANEL" || xs_die "xwininfo could not read the panel window"
    SB_PANEL_X=$XS_X
    SB_PANEL_Y=$XS_Y
}

# sb_panel_at X Y: the panel's top-left corner is at (X, Y); a predicate for xs_wait_until.
sb_panel_at() {
    sb_panel_position
    ((SB_PANEL_X == $1 && SB_PANEL_Y == $2))
}

# sb_full_screen_up: the backdrop covers the screen, mapped, with the panel above it.
sb_full_screen_up() {
    xs_is_viewable "$SB_BACKDROP" || return 1
    ((XS_X == 0 && XS_Y == 0 && XS_W == XS_WIDTH && XS_H == XS_HEIGHT)) || return 1
    xs_stacked_above "$SB_PANEL" "$SB_BACKDROP"
}

# sb_start SCOREBOARD: a fresh X session with the scoreboard running, its panel painted and
# its backdrop created (hidden). Sets SB_PID, SB_PANEL, SB_BACKDROP, SB_PANEL_X, SB_PANEL_Y.
sb_start() {
    xs_start
    # The pointer starts in the middle of the screen, over the panel; keep hover effects out
    # of the pixels the checks read.
    xdotool mousemove --sync 1 1
    sb_launch "$1"
}

# sb_launch SCOREBOARD [VAR=VALUE...]: as sb_start, in the X session already running, with the
# pointer out of the way; the variables are set for the scoreboard alone.
sb_launch() {
    local scoreboard=$1
    shift
    xs_launch scoreboard env "$@" "$scoreboard"
    SB_PID=$XS_PID
    xs_wait_until 5000 _sb_panel_mapped || xs_die "no mapped window titled $SB_PANEL_TITLE within 5 s"
    SB_PANEL=$XS_WINDOW
    xs_log "panel window $(xs_hex "$SB_PANEL") mapped ${XS_WAITED_MS} ms after launch"
    sb_panel_position
    if [[ -n ${SCREENPIXEL:-} ]]; then
        xs_wait_until 3000 _sb_panel_painted || xs_die "the panel was not painted green within 3 s of being mapped"
    fi
    # The backdrop comes with the first wall-clock tick, about a second after start.
    xs_wait_until 3000 _sb_backdrop_created || xs_die "no window titled $SB_BACKDROP_TITLE within 3 s of the panel"
    SB_BACKDROP=$XS_WINDOW
    xs_log "backdrop window $(xs_hex "$SB_BACKDROP") created ${XS_WAITED_MS} ms after the panel was painted"
}

# sb_face X0 Y0 X1 Y1: a digest of the panel-relative rectangle's pixels (every other row),
# to tell whether a control's face changed, e.g. a button's caption.
sb_face() {
    local points=() x y
    for ((y = $2; y <= $4; y += 2)); do
        for ((x = $1; x <= $3; x++)); do
            points+=("$((SB_PANEL_X + x)),$((SB_PANEL_Y + y))")
        done
    done
    xs_pixels "${points[@]}" | md5sum | cut -d' ' -f1
}
