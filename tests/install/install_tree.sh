#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the build into a temporary prefix as a release would, and checks what a desktop reads
# there: the desktop entry and the metainfo validate and name each other, the entry names the
# program's window class and the metainfo its version, and the icon comes in every size docks and
# menus ask for.
# usage: install_tree.sh CMAKE BUILD_DIR
set -u
cmake=$1 build=$2
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
for tool in desktop-file-validate appstreamcli; do
  command -v $tool >/dev/null || { fail "no $tool (scripts/common.sh installs it)"; exit 1; }
done
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
"$cmake" --install "$build" --prefix "$prefix" --strip >/dev/null || { fail "install"; exit 1; }
share=$prefix/share

desktops=("$share"/applications/*.desktop)
metainfos=("$share"/metainfo/*.metainfo.xml)
if [ ${#desktops[@]} -ne 1 ] || [ ${#metainfos[@]} -ne 1 ] || [ ! -f "${desktops[0]}" ] ||
  [ ! -f "${metainfos[0]}" ]; then
  fail "not one desktop entry and one metainfo file"
  exit 1
fi
desktop=${desktops[0]} metainfo=${metainfos[0]}
id=$(basename "$desktop" .desktop)

# Hints count too: the entry is kept free of every remark.
report=$(desktop-file-validate "$desktop" 2>&1)
[ -z "$report" ] || fail "desktop-file-validate: $report"
report=$(appstreamcli validate --no-net "$metainfo" 2>&1) || fail "appstreamcli validate: $report"
# The tree as a whole: the metainfo's launchable finds the desktop entry, whose categories count.
report=$(appstreamcli validate-tree --no-net "$prefix" 2>&1) ||
  fail "appstreamcli validate-tree: $report"
[ "$(sed -n 's|.*<id>\(.*\)</id>.*|\1|p' "$metainfo")" = "$id" ] || fail "metainfo id is not $id"

entry() { sed -n "s/^$1=//p" "$desktop"; }
# What menus and software centres show and search, in English and in Turkish.
for key in GenericName 'GenericName\[tr\]' Comment 'Comment\[tr\]' Keywords 'Keywords\[tr\]'; do
  [ -n "$(entry "$key")" ] || fail "the desktop entry has no ${key//\\/}"
done
grep -q '<project_license>GPL-3.0-or-later</project_license>' "$metainfo" ||
  fail "the metainfo names no GPL-3.0-or-later licence"
program=$prefix/bin/$(entry Exec)
[ -x "$program" ] || fail "Exec names no installed program"
# --version prints the name, which is the application name and so the X11 window class.
version_line=$(env -u DISPLAY -u WAYLAND_DISPLAY "$program" --version)
version=${version_line##* }
[ "$(entry StartupWMClass)" = "${version_line% *}" ] ||
  fail "StartupWMClass '$(entry StartupWMClass)' is not the window class of '$version_line'"
newest=$(sed -n 's|.*<release version="\([^"]*\)".*|\1|p' "$metainfo" | head -n 1)
[ "$newest" = "$version" ] || fail "the metainfo's newest release is $newest, the program $version"
[ -f "$share/man/man1/$(entry Exec).1" ] || fail "no manual page"

icon=$(entry Icon)
for size in 16 32 48 64 128 256; do
  png=$share/icons/hicolor/${size}x$size/apps/$icon.png
  [ -f "$png" ] || { fail "no $size px icon"; continue; }
  # A PNG's header holds its width and height as big-endian 32-bit numbers from byte 16.
  read -r -a header < <(od -An -tu1 -j16 -N8 "$png")
  width=$(((header[0] << 24) + (header[1] << 16) + (header[2] << 8) + header[3]))
  height=$(((header[4] << 24) + (header[5] << 16) + (header[6] << 8) + header[7]))
  [ "$width x $height" = "$size x $size" ] || fail "${png#"$prefix"/} is not a $size px PNG"
done
grep -q '<svg' "$share/icons/hicolor/scalable/apps/$icon.svg" 2>/dev/null || fail "no scalable icon"

[ "$failures" -eq 0 ]
