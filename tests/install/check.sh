#!/usr/bin/env bash
# Installing and packaging, one part a run:
#   install_layout      `cmake --install` lays out exactly the program, a valid desktop entry and AppStream metainfo
#                       that name each other and it, the icon at every size, and a manual page that tells every key
#   package_deb         CPack's Debian package: named after the project, holding what `cmake --install` lays out,
#                       depending on the owner of every library the program links and on what Qt loads by name
#                       (plugins, the Chinese face), with a matching changelog, and clean for lintian
#   package_clean_root  that package installed by apt from its Depends alone into a minimal Debian made with
#                       debootstrap, the installed program started there as its desktop entry says and put through
#                       the real-window rows start and close_f4 (the chroot shares the host's abstract X socket),
#                       then purged without a trace. Needs root and the Debian mirror, else skipped (77). The minimal
#                       root of this release and apt's downloads are kept outside the clone, in SCOREBOARD_CACHE
#                       (/var/cache/scoreboard)/clean-root; a week-old root is made anew.
#
# usage: check.sh BUILD_DIR WORK_DIR PART   (SCOREBOARD_DEBIAN_MIRROR names another mirror)
# shellcheck disable=SC2016,SC2034,SC1091 # the conditions are single-quoted to be evaluated, and so reported, as written
set -uo pipefail
export LC_ALL=C

build=${1:?usage: check.sh BUILD_DIR WORK_DIR PART} work=${2:?} part=${3:?}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
id=io.github.eightball_scoreboard.Scoreboard failures=0
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' "$build/CMakeCache.txt")
fail() { printf 'FAIL: %s\n' "$1" >&2 && failures=$((failures + 1)) && ((${2:-0} == 0)) || exit "$2"; }
die() { fail "$1" 1; }
# expect: each line of stdin is a condition; one that does not hold is reported as written.
expect() { local c && while read -r c; do [[ -z $c ]] || eval "$c" </dev/null || fail "$c"; done; }
rm -rf --one-file-system "$work" && mkdir -p "$work"
DESTDIR=$work/stage cmake --install "$build" --prefix /usr >"$work/install.log" 2>&1 || die "cmake --install; see $work"
root=$work/stage/usr
[[ $part == install_layout ]] || cpack --config "$build/CPackConfig.cmake" -B "$work/deb" >"$work/cpack.log" 2>&1 || die "cpack; see $work"
arch=$(dpkg --print-architecture) && deb=$work/deb/scoreboard_${version}_$arch.deb
[[ $part == install_layout || -f $deb ]] || die "cpack wrote no ${deb##*/}"

case $part in
install_layout)
    files=$(cd "$work/stage" && find . -type f -o -type l | sort)
    desktop=$root/share/applications/$id.desktop metainfo=$root/share/metainfo/$id.metainfo.xml
    key() { sed -n "s/^$1=//p" "$desktop"; }
    man=$(MANWIDTH=100 man --warnings -l "$root/share/man/man1/scoreboard.1.gz" 2>"$work/man.log")
    # Nothing more than these: a test program or a library would leak into the install. The executable uses the
    # system's Qt, not a path beside the build, and reads no environment of its own (Qt's is Qt's business).
    expect <<'CHECKS'
[[ $files == "$(printf './usr/%s\n' bin/scoreboard share/applications/$id.desktop share/doc/scoreboard/{changelog.gz,copyright} share/icons/hicolor/{256x256,32x32,48x48,64x64}/apps/$id.png share/man/man1/scoreboard.1.gz share/metainfo/$id.metainfo.xml)" ]]
[[ -x $root/bin/scoreboard ]] && ! readelf -d $root/bin/scoreboard | grep -E 'RPATH|RUNPATH'
! nm -D --undefined-only --demangle $root/bin/scoreboard | grep -E 'getenv|qEnvironmentVariable'
! for s in 32 48 64 256; do file -b $root/share/icons/hicolor/${s}x$s/apps/$id.png | grep -q "^PNG image data, $s x $s," || echo $s; done | grep .
[[ -z $(desktop-file-validate $desktop 2>&1) && $(key Exec) == scoreboard* && $(key Icon) == $id && -n $(key 'Name\[zh_CN\]') ]]
[[ $(key Categories) == *Game* && $(key StartupWMClass) == scoreboard ]]
appstreamcli validate --no-net --no-color $metainfo >$work/appstream.log && ! grep '@[A-Z_]*@' $metainfo
grep -q "<id>$id</id>" $metainfo && grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" $metainfo
grep -q '<binary>scoreboard</binary>' $metainfo && grep -q "<release version=\"$version\"" $metainfo && grep -q '<image>' $metainfo
[[ -n $man && ! -s $work/man.log ]] && ! for k in F2 F3 F4 F5 Esc F11 'a / d' 'j / l'; do grep -qE "^ +$k +[A-Z]" <<<"$man" || echo "$k"; done | grep .
CHECKS
    ;;
package_deb)
    field() { dpkg-deb -f "$deb" "$1"; }
    depends=" $(field Depends | sed 's/([^)]*)//g; s/[,|]/ /g; s/:any//g' | xargs) "
    dpkg-deb -x "$deb" "$work/contents"
    # The package that owns each library the executable links, as this system resolves it.
    owners=$(readelf -d "$work/contents/usr/bin/scoreboard" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | while read -r so; do
        # awk reads the whole list: leaving early would end ldconfig by SIGPIPE, which pipefail counts as a failure.
        path=$(ldconfig -p | awk -v so="$so" '$1 == so && !found { print $NF; found = 1 }') && owner=$(dpkg-query -S "$(readlink -f "$path")" "$path" 2>/dev/null)
        echo "${owner%%:*}" | grep . || echo "(none)-for-$so"; done)
    expect <<'CHECKS'
[[ $(field Package) == scoreboard && $(field Version) == $version && $(field Architecture) == $arch && -n $(field Maintainer) ]]
! for p in qt6-qpa-plugins qt6-image-formats-plugins qt6-translations-l10n fonts-noto-cjk $owners; do [[ $depends == *" $p "* ]] || echo "$p"; done | grep .
[[ $(cd $work/stage && find . -type f | sort) == "$(cd $work/contents && find . -type f | sort)" ]]
! dpkg-deb -c $deb | awk '$2 != "root/root"' | grep .
[[ $(gzip -dc $work/contents/usr/share/doc/scoreboard/changelog.gz | dpkg-parsechangelog -l - -S Version) == $version ]]
lintian -I $deb >$work/lintian.log 2>&1 && ! grep '^[EW]: ' $work/lintian.log
CHECKS
    ;;
package_clean_root)
    ((EUID == 0)) || { echo "SKIP: debootstrap and chroot need root" && exit 77; }
    offline() { ! grep -qiE 'Failed getting release|download|resolve|Temporary failure|Failed to fetch|connect|unreachable' "$1" || { echo "SKIP: no Debian mirror (see $1)" && exit 77; }; }
    mirror=${SCOREBOARD_DEBIAN_MIRROR:-http://deb.debian.org/debian} cache=${SCOREBOARD_CACHE:-/var/cache/scoreboard}/clean-root root=$work/root
    minbase=$cache/minbase-$(. /etc/os-release && echo "$VERSION_CODENAME") && trap 'rm -rf --one-file-system "$root"' EXIT
    # One check at a time makes, renews or copies the root that every build on this machine shares.
    { mkdir -p "$cache/apt" && exec 8>"$cache/lock" && flock 8; } || die "could not lock $cache"
    find "$cache" -maxdepth 1 -name "${minbase##*/}" -mtime +7 -exec rm -rf --one-file-system {} +
    [[ -d $minbase ]] || { rm -rf --one-file-system "$minbase.part" && debootstrap --variant=minbase "${minbase##*-}" "$minbase.part" "$mirror" >"$work/debootstrap.log" 2>&1 &&
        mv "$minbase.part" "$minbase"; } || { offline "$work/debootstrap.log" && die "debootstrap; see $work/debootstrap.log"; }
    cp -a "$minbase" "$root" || die "could not copy $minbase"
    exec 8>&-
    in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 DEBIAN_FRONTEND=noninteractive "$@"; }
    cp "$deb" "$root/tmp/" && find "$cache/apt" -name '*.deb' -exec cp -t "$root/var/cache/apt/archives/" {} +
    in_root apt-get -q -o Acquire::Retries=3 update >"$work/apt.log" 2>&1 || { offline "$work/apt.log" && die "apt-get update; see $work/apt.log"; }
    # A throw-away root: dpkg need not sync every file it unpacks.
    in_root apt-get -q -y -o Dpkg::Options::=--force-unsafe-io install --no-install-recommends "/tmp/${deb##*/}" >>"$work/apt.log" 2>&1 ||
        die "apt-get could not install the package; see $work/apt.log"
    find "$root/var/cache/apt/archives" -maxdepth 1 -name '*.deb' -exec cp -n -t "$cache/apt/" {} +
    # root's home is private (0700), as Qt wants its runtime folder.
    printf '#!/bin/sh\nexec chroot %q env -i PATH=/usr/bin:/bin HOME=/root LANG=C.UTF-8 XDG_RUNTIME_DIR=/root DISPLAY="$DISPLAY" %s\n' \
        "$root" "$(sed -n 's/^Exec=//p' "$root"/usr/share/applications/*.desktop)" >"$work/installed" && chmod +x "$work/installed"
    XS_ARTIFACTS=$work/window bash "$here/../window/run.sh" "$work/installed" start close_f4@openbox || fail "the installed program (rows above)"
    plugins=$root/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/qt6/plugins
    mapfile -t files < <(in_root dpkg-query -L scoreboard | while read -r f; do [[ -f $root$f ]] && echo "$f"; done)
    expect <<'CHECKS'
[[ $(in_root dpkg-query -W -f='${Status}' scoreboard) == "install ok installed" ]]
[[ -f $plugins/platforms/libqxcb.so && -f $plugins/imageformats/libqwebp.so && -f $plugins/imageformats/libqjpeg.so ]]
in_root apt-get -q -y purge scoreboard >>$work/apt.log 2>&1 && ((${#files[@]} > 5)) && ! for f in "${files[@]}"; do [[ ! -e $root$f ]] || echo "$f"; done | grep .
CHECKS
    ;;
*) die "no part '$part'" ;;
esac
((failures == 0)) || die "$part: $failures condition(s) failed; see $work"
echo "$part: all conditions held"
