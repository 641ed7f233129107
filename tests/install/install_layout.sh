#!/usr/bin/env bash
# `cmake --install` lays the program out as a desktop expects: the executable in bin/, a valid
# desktop entry and AppStream metainfo that name each other, and the icon at every size under
# the same id, and nothing else.
#
# usage: install_layout.sh BUILD_DIR WORK_DIR
set -uo pipefail

build=${1:?usage: install_layout.sh BUILD_DIR WORK_DIR}
work=${2:?usage: install_layout.sh BUILD_DIR WORK_DIR}
app_id=io.github.eightball_scoreboard.Scoreboard
failures=0

fail() {
    printf 'FAIL: %s\n' "$*" >&2
    failures=$((failures + 1))
}

for tool in desktop-file-validate appstreamcli readelf file nm man; do
    command -v "$tool" >/dev/null || {
        echo "FAIL: $tool is not installed (scripts/test installs it)" >&2
        exit 1
    }
done

rm -rf "$work"
mkdir -p "$work"
stage=$work/stage
DESTDIR=$stage cmake --install "$build" --prefix /usr >"$work/install.log" 2>&1 || {
    cat "$work/install.log" >&2
    echo "FAIL: cmake --install failed" >&2
    exit 1
}
root=$stage/usr

# Exactly these files: anything more is a test program or a library leaking into the install.
expected=(
    bin/scoreboard
    "share/applications/$app_id.desktop"
    share/doc/scoreboard/changelog.gz
    share/doc/scoreboard/copyright
    share/man/man1/scoreboard.1.gz
    "share/icons/hicolor/256x256/apps/$app_id.png"
    "share/icons/hicolor/32x32/apps/$app_id.png"
    "share/icons/hicolor/48x48/apps/$app_id.png"
    "share/icons/hicolor/64x64/apps/$app_id.png"
    "share/metainfo/$app_id.metainfo.xml"
)
actual=$(cd "$stage" && find . -type f -o -type l | sed 's|^\./||' | sort)
want=$(printf 'usr/%s\n' "${expected[@]}" | sort)
if [[ $actual != "$want" ]]; then
    fail "installed files differ from the expected layout:"
    diff <(printf '%s\n' "$want") <(printf '%s\n' "$actual") >&2
fi

# The executable: runnable, and using the system's Qt rather than a path next to the build.
[[ -x $root/bin/scoreboard ]] || fail "bin/scoreboard is not executable"
if readelf -d "$root/bin/scoreboard" | grep -E 'RPATH|RUNPATH'; then
    fail "the installed executable carries a run path"
fi

# The program reads no environment of its own (Qt's variables are Qt's business, inside Qt's libraries): the
# executable imports nothing that reads one. The benchmarks' build of it does, for its timing hooks.
if env_reads=$(nm -D --undefined-only --demangle "$root/bin/scoreboard" | grep -E 'getenv|qEnvironmentVariable'); then
    fail "the installed executable imports what reads the environment: $(awk '{ print $2 }' <<<"$env_reads" | tr '\n' ' ')"
fi

# Icons: each is a PNG of the size its folder names.
for size in 32 48 64 256; do
    icon=$root/share/icons/hicolor/${size}x${size}/apps/$app_id.png
    [[ -f $icon ]] || continue
    desc=$(file -b "$icon")
    [[ $desc == "PNG image data, $size x $size,"* ]] || fail "$icon: $desc (expected a $size x $size PNG)"
done

# The desktop entry: valid, launches the installed binary, shows the installed icon, and has a
# Chinese name for a Chinese desktop.
desktop=$root/share/applications/$app_id.desktop
if [[ -f $desktop ]]; then
    if ! out=$(desktop-file-validate "$desktop" 2>&1) || [[ -n $out ]]; then
        fail "desktop-file-validate: $out"
    fi
    key() { sed -n "s/^$1=//p" "$desktop"; }
    exec_line=$(key Exec)
    [[ ${exec_line%% *} == scoreboard ]] || fail "Exec=$exec_line does not start the installed scoreboard"
    [[ $(key Icon) == "$app_id" ]] || fail "Icon=$(key Icon), expected $app_id (the installed icon name)"
    [[ -n $(key 'Name\[zh_CN\]') ]] || fail "no Name[zh_CN] in the desktop entry"
    [[ $(key Categories) == *Game* ]] || fail "Categories=$(key Categories) lacks Game"
    [[ $(key StartupWMClass) == scoreboard ]] || fail "StartupWMClass=$(key StartupWMClass), expected scoreboard (the X11 class)"
fi

# The metainfo: valid, and pointing at the desktop entry and binary that are installed.
metainfo=$root/share/metainfo/$app_id.metainfo.xml
if [[ -f $metainfo ]]; then
    if ! out=$(appstreamcli validate --no-net --no-color "$metainfo" 2>&1); then
        fail "appstreamcli validate: $out"
    fi
    grep -q "<id>$app_id</id>" "$metainfo" || fail "metainfo id is not $app_id"
    grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo" ||
        fail "metainfo does not launch $app_id.desktop"
    grep -q '<binary>scoreboard</binary>' "$metainfo" || fail "metainfo does not provide the scoreboard binary"
    grep -q '@[A-Z_]*@' "$metainfo" && fail "metainfo has unsubstituted placeholders: $(grep -o '@[A-Z_]*@' "$metainfo" | sort -u | tr '\n' ' ')"
    version=$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' "$build/CMakeCache.txt")
    grep -q "<release version=\"$version\"" "$metainfo" || fail "metainfo has no release $version"
    shots=$(grep -c '<image>' "$metainfo")
    ((shots >= 1)) || fail "metainfo lists no screenshot"
fi

# The manual page: man reads it without a warning, and it tells every key of the panel.
page=$root/share/man/man1/scoreboard.1.gz
if [[ -f $page ]]; then
    text=$(MANWIDTH=100 man --warnings -l "$page" 2>"$work/man.log")
    [[ -s $work/man.log ]] && fail "man -l $page warns: $(cat "$work/man.log")"
    for key in F2 F3 F4 F5 Esc F11 'a / d' 'j / l'; do
        grep -qE "^ +$key +[A-Z]" <<<"$text" || fail "the manual page does not tell what $key does"
    done
fi

if ((failures > 0)); then
    echo "install_layout: $failures condition(s) failed; the staged install is in $stage"
    exit 1
fi
echo "install_layout: all conditions held ($(wc -l <<<"$actual") files)"
