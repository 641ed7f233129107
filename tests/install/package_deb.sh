#!/usr/bin/env bash
# The Debian package that CPack builds: named and versioned after the project, holding exactly
# what `cmake --install` lays out, and depending on every package the program needs at run
# time: the owner of each shared library the executable links, plus the plugins and the font
# that Qt loads without linking them.
#
# usage: package_deb.sh BUILD_DIR WORK_DIR
set -uo pipefail

build=${1:?usage: package_deb.sh BUILD_DIR WORK_DIR}
work=${2:?usage: package_deb.sh BUILD_DIR WORK_DIR}
failures=0

fail() {
    printf 'FAIL: %s\n' "$*" >&2
    failures=$((failures + 1))
}

for tool in cpack dpkg-deb dpkg-query dpkg-parsechangelog readelf lintian; do
    command -v "$tool" >/dev/null || {
        echo "FAIL: $tool is not installed (scripts/test installs it)" >&2
        exit 1
    }
done

rm -rf "$work"
mkdir -p "$work"
if ! cpack --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log" >&2
    echo "FAIL: cpack failed" >&2
    exit 1
fi

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' "$build/CMakeCache.txt")
arch=$(dpkg --print-architecture)
deb=$work/scoreboard_${version}_${arch}.deb
if [[ ! -f $deb ]]; then
    echo "FAIL: cpack did not write $(basename "$deb"); it wrote: $(cd "$work" && ls ./*.deb 2>/dev/null)" >&2
    exit 1
fi
echo "package: $deb ($(stat -c %s "$deb") bytes)"

field() { dpkg-deb -f "$deb" "$1"; }
[[ $(field Package) == scoreboard ]] || fail "Package: $(field Package)"
[[ $(field Version) == "$version" ]] || fail "Version: $(field Version), expected $version"
[[ $(field Architecture) == "$arch" ]] || fail "Architecture: $(field Architecture), expected $arch"
[[ -n $(field Maintainer) ]] || fail "no Maintainer"
depends=$(field Depends)
echo "Depends: $depends"
echo "Recommends: $(field Recommends)"

# Package names in Depends, without versions or alternatives' bars.
mapfile -t depended < <(printf '%s\n' "${depends//[,|]/$'\n'}" | sed 's/(.*)//; s/^ *//; s/ *$//; s/:.*//' | grep -v '^$' | sort -u)
depends_on() {
    local name
    for name in "${depended[@]}"; do
        [[ $name == "$1" ]] && return 0
    done
    return 1
}

# What Qt loads by name rather than by linking: the X11 platform plugin, the WebP reader for
# photos, and a face that has the Chinese captions.
for pkg in qt6-qpa-plugins qt6-image-formats-plugins fonts-noto-cjk libqt6widgets6 libqt6gui6 libqt6core6 libxcb1; do
    depends_on "$pkg" || fail "Depends lacks $pkg"
done

# Every library the executable links belongs to a package it depends on.
mkdir -p "$work/contents"
dpkg-deb -x "$deb" "$work/contents"
binary=$work/contents/usr/bin/scoreboard
[[ -x $binary ]] || fail "the package has no executable usr/bin/scoreboard"
if [[ -x $binary ]]; then
    while read -r soname; do
        path=$(ldconfig -p | awk -v so="$soname" '$1 == so && /x86-64|64bit/ { print $NF; exit }')
        [[ -n $path ]] || path=$(ldconfig -p | awk -v so="$soname" '$1 == so { print $NF; exit }')
        if [[ -z $path ]]; then
            fail "$soname (linked) is not known to ldconfig"
            continue
        fi
        owner=$(dpkg-query -S "$(readlink -f "$path")" 2>/dev/null | head -n1 | cut -d: -f1)
        [[ -n $owner ]] || owner=$(dpkg-query -S "$path" 2>/dev/null | head -n1 | cut -d: -f1)
        if [[ -z $owner ]]; then
            fail "no Debian package owns $path ($soname)"
        elif depends_on "$owner"; then
            echo "  $soname: $owner"
        else
            fail "$soname comes from $owner, which Depends does not name"
        fi
    done < <(readelf -d "$binary" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
fi

# Same files as a plain install, so the package and `cmake --install` cannot drift apart.
DESTDIR=$work/stage cmake --install "$build" --prefix /usr >"$work/install.log" 2>&1 || fail "cmake --install failed"
installed=$(cd "$work/stage" && find . -type f | sort)
packaged=$(cd "$work/contents" && find . -type f | sort)
if [[ $installed != "$packaged" ]]; then
    fail "the package's files differ from cmake --install:"
    diff <(printf '%s\n' "$installed") <(printf '%s\n' "$packaged") >&2
fi
# Installed by dpkg as root, so no file in it may belong to the builder.
if dpkg-deb -c "$deb" | awk '$2 != "root/root"' | grep .; then
    fail "files in the package are not owned by root"
fi

# The changelog's latest entry is this version.
changelog=$work/contents/usr/share/doc/scoreboard/changelog.gz
if [[ -f $changelog ]]; then
    gzip -dc "$changelog" >"$work/changelog"
    logged=$(dpkg-parsechangelog -l "$work/changelog" -S Version)
    [[ $logged == "$version" ]] || fail "the changelog's latest entry is $logged, the package $version"
fi

# Debian's own checker: no error and no warning. What it still says for information is shown.
lintian -I "$deb" >"$work/lintian.log" 2>&1
lintian_rc=$?
cat "$work/lintian.log"
if ((lintian_rc != 0)) || grep -q '^[EW]: ' "$work/lintian.log"; then
    fail "lintian found errors or warnings (exit code $lintian_rc)"
fi

if ((failures > 0)); then
    echo "package_deb: $failures condition(s) failed; see $work"
    exit 1
fi
echo "package_deb: all conditions held"
