#!/usr/bin/env bash
# The package on a clean Debian system: a minimal root made with debootstrap, the package
# installed into it by apt from its own Depends alone, and the installed program started the
# way the desktop entry starts it, on a private X server (the chroot shares the host's abstract
# X socket). Its panel must map at its design size, find a Chinese face, and end with code 0 on
# F4; purging the package must take every file away again.
#
# usage: package_clean_root.sh BUILD_DIR WORK_DIR   (SCREENPIXEL in the environment)
#
# Exits 77 (skipped) when it cannot run here: not root (chroot needs it) or the Debian mirror
# cannot be reached. SCOREBOARD_DEBIAN_MIRROR names another mirror. The minimal root and the
# packages apt fetched are kept in WORK_DIR/../clean-root-cache, so a second run downloads
# nothing it already has.
# shellcheck disable=SC2317 # the predicates below are called through xs_wait_until
# shellcheck disable=SC2016 # dpkg-query's format strings are single-quoted on purpose
set -uo pipefail

# shellcheck source-path=SCRIPTDIR source=../x11/xsession.sh
source "$(dirname "${BASH_SOURCE[0]}")/../x11/xsession.sh"

build=${1:?usage: package_clean_root.sh BUILD_DIR WORK_DIR}
work=${2:?usage: package_clean_root.sh BUILD_DIR WORK_DIR}
mirror=${SCOREBOARD_DEBIAN_MIRROR:-http://deb.debian.org/debian}
cache=$(dirname "$work")/clean-root-cache
panel_title=TarnelloV1.9
skip=77

skip_test() {
    printf 'SKIP: %s\n' "$*"
    exit "$skip"
}

if ((EUID != 0)); then
    skip_test "package_clean_root needs root for debootstrap and chroot; run it as root to check the package"
fi
for tool in debootstrap chroot cpack dpkg-deb; do
    command -v "$tool" >/dev/null || xs_die "$tool is not installed (scripts/test installs it)"
done
# shellcheck source=/dev/null
suite=$(. /etc/os-release && printf '%s' "${VERSION_CODENAME:-}")
[[ -n $suite ]] || xs_die "no VERSION_CODENAME in /etc/os-release; this check expects Debian"

root=$work/root
remove_root() {
    [[ -d $root ]] || return 0
    # Nothing of ours is mounted there, but a debootstrap that died half-way may leave its own.
    local mounts
    mounts=$(awk -v r="$root" 'index($2, r "/") == 1 { print $2 }' /proc/mounts | sort -r)
    [[ -z $mounts ]] || umount -l "$mounts" 2>/dev/null
    rm -rf --one-file-system "$root"
}
finish_root() {
    xs_stop
    remove_root
}

trap remove_root EXIT

rm -rf --one-file-system "$work"
mkdir -p "$work" "$cache/apt"
XS_ARTIFACTS=${XS_ARTIFACTS:-$work/artifacts}
started=$(xs_now_ms)
elapsed() { printf '%d.%03d s' $((($(xs_now_ms) - started) / 1000)) $((($(xs_now_ms) - started) % 1000)); }

# The package, built afresh from the build tree.
cpack --config "$build/CPackConfig.cmake" -B "$work/deb" >"$work/cpack.log" 2>&1 || {
    cat "$work/cpack.log" >&2
    xs_die "cpack failed"
}
deb=$(find "$work/deb" -maxdepth 1 -name 'scoreboard_*.deb' | head -n1)
[[ -n $deb ]] || xs_die "cpack wrote no scoreboard_*.deb"
xs_log "package $(basename "$deb") built ($(elapsed))"

# A minimal root: debootstrap once, then a copy of its result. A week-old one is made anew so
# the root does not drift far behind the mirror.
tarball=$cache/minbase-$suite.tar
find "$cache" -maxdepth 1 -name "$(basename "$tarball")" -mtime +7 -delete
if [[ ! -f $tarball ]]; then
    xs_log "debootstrap --variant=minbase $suite from $mirror"
    if ! debootstrap --variant=minbase "$suite" "$root" "$mirror" >"$work/debootstrap.log" 2>&1; then
        if grep -qiE 'Failed getting release|Couldn.t download|could not resolve|Temporary failure|Connection (refused|timed out)|Network is unreachable' "$work/debootstrap.log"; then
            skip_test "cannot reach the Debian mirror $mirror (see $work/debootstrap.log)"
        fi
        tail -n 20 "$work/debootstrap.log" >&2
        xs_die "debootstrap failed; see $work/debootstrap.log"
    fi
    tar -C "$root" -cf "$tarball.part" . && mv "$tarball.part" "$tarball"
    xs_log "minimal root made and kept in $tarball ($(elapsed))"
else
    mkdir -p "$root"
    tar -C "$root" -xf "$tarball" || xs_die "could not unpack $tarball"
    xs_log "minimal root unpacked from $tarball ($(elapsed))"
fi
before=$(chroot "$root" dpkg-query -W -f='${Package}\n' | wc -l)

# Install with apt, which has nothing to go on but the package's Depends.
cp "$deb" "$root/tmp/"
find "$cache/apt" -maxdepth 1 -name '*.deb' -exec cp -t "$root/var/cache/apt/archives/" {} +
in_root() {
    chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 DEBIAN_FRONTEND=noninteractive "$@"
}
if ! in_root apt-get -q -o Acquire::Retries=3 update >"$work/apt-update.log" 2>&1; then
    if grep -qiE 'Could not resolve|Temporary failure|Failed to fetch|Unable to connect' "$work/apt-update.log"; then
        skip_test "cannot reach the Debian mirror from the root (see $work/apt-update.log)"
    fi
    xs_die "apt-get update failed in the root; see $work/apt-update.log"
fi
# A throw-away root: dpkg need not sync every file it unpacks.
if ! in_root apt-get -q -y -o Acquire::Retries=3 -o Dpkg::Options::=--force-unsafe-io \
    install --no-install-recommends "/tmp/$(basename "$deb")" \
    >"$work/apt-install.log" 2>&1; then
    tail -n 20 "$work/apt-install.log" >&2
    xs_die "apt-get could not install the package in a clean root; see $work/apt-install.log"
fi
find "$root/var/cache/apt/archives" -maxdepth 1 -name '*.deb' -exec cp -n -t "$cache/apt/" {} +
after=$(in_root dpkg-query -W -f='${Package}\n' | wc -l)
xs_log "installed with $((after - before - 1)) dependencies ($(elapsed))"
status=$(in_root dpkg-query -W -f='${Status}' scoreboard 2>/dev/null)
[[ $status == "install ok installed" ]] || xs_check_failed "dpkg reports scoreboard as '$status'"

# The installed program, started as the desktop entry says, on a private X server.
exec_line=$(sed -n 's/^Exec=//p' "$root"/usr/share/applications/*.desktop | head -n1)
[[ -n $exec_line ]] || xs_die "no installed desktop entry with an Exec line"
xs_start
trap finish_root EXIT
mkdir -p "$root/run/user"
mkdir -m 700 "$root/run/user/0"
# shellcheck disable=SC2086 # the Exec line is a command line; it holds no field codes
xs_launch scoreboard chroot "$root" env -i PATH=/usr/bin:/bin HOME=/root LANG=C.UTF-8 \
    XDG_RUNTIME_DIR=/run/user/0 DISPLAY="$DISPLAY" $exec_line
app=$XS_PID

panel_mapped() {
    if xs_exited "$app"; then
        xs_collect "$app"
        cat "$XS_ARTIFACTS/scoreboard.log" >&2
        xs_die "the installed scoreboard exited with code $XS_RC before its panel appeared"
    fi
    xs_has_window --mapped "$panel_title"
}
xs_wait_until 10000 panel_mapped || xs_die "no mapped window titled $panel_title within 10 s"
panel=$XS_WINDOW
xs_log "panel mapped ${XS_WAITED_MS} ms after launch ($(elapsed))"
xs_geometry "$panel" || xs_die "xwininfo could not read the panel"
((XS_W == 657 && XS_H == 512)) || xs_check_failed "panel is ${XS_W}x${XS_H}, expected 657x512"
panel_x=$XS_X
panel_y=$XS_Y
if [[ -n ${SCREENPIXEL:-} ]]; then
    painted() { [[ $(xs_pixels "$((panel_x + 10)),$((panel_y + 100))") == *" 008000" ]]; }
    xs_wait_until 3000 painted || xs_check_failed "the panel was not painted green within 3 s"
    xs_expect_colour FFFF80 "$((panel_x + 60)),$((panel_y + 236))" "$((panel_x + 588)),$((panel_y + 388))"
    xs_screenshot clean-root
fi

timeout 2 xdotool windowactivate --sync "$panel" >/dev/null 2>&1 || true
xdotool key --clearmodifiers F4
if xs_wait_until 3000 xs_exited "$app"; then
    xs_collect "$app"
    xs_log "F4 ended the installed program with code $XS_RC"
    ((XS_RC == 0)) || xs_check_failed "the installed scoreboard exited with code $XS_RC, expected 0"
else
    xs_check_failed "the installed scoreboard still runs 3 s after F4"
fi
# A missing face or plugin shows up as a complaint on stderr, not as a failure to start.
if grep -E '^scoreboard:|Could not (load|find)|cannot load' "$XS_ARTIFACTS/scoreboard.log" >&2; then
    xs_check_failed "the installed program complained on stderr (above)"
fi
for plugin in platforms/libqxcb.so imageformats/libqwebp.so imageformats/libqjpeg.so; do
    [[ -f $root/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH 2>/dev/null || echo x86_64-linux-gnu)/qt6/plugins/$plugin ]] ||
        xs_check_failed "the clean root has no Qt plugin $plugin after installing the package"
done

# Purging takes every file of the package away.
mapfile -t files < <(in_root dpkg-query -L scoreboard | while read -r f; do [[ -f $root$f ]] && printf '%s\n' "$f"; done)
in_root apt-get -q -y purge scoreboard >"$work/apt-purge.log" 2>&1 || xs_check_failed "apt-get purge failed; see $work/apt-purge.log"
for f in "${files[@]}"; do
    [[ -e $root$f ]] && xs_check_failed "$f is still there after purging"
done
xs_log "purge removed all ${#files[@]} files ($(elapsed))"

xs_finish package_clean_root
