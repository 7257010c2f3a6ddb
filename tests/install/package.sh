#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package as a user installs it: built by dpkg-buildpackage from a copy of the source
# into a temporary folder, lintian finds no error or warning, and the package holds what the
# install tree holds, its copyright and its changelog, in the version the program prints.
# Nothing is installed: skipped where lintian, the Debian build tools or a build dependency are
# missing (scripts/test installs them).
# usage: package.sh SOURCE_DIR PROGRAM
set -u
source_dir=$1 program=$2
command -v lintian >/dev/null || { echo "lintian is not installed"; exit 77; }
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
touch "$out/.started"
# The suite runs in this build already, so the package's build leaves it out.
deb=$(DEB_BUILD_OPTIONS="nocheck ${DEB_BUILD_OPTIONS:-}" "$source_dir/scripts/package" --no-install "$out")
status=$?
[ $status -eq 77 ] && { echo "$deb"; exit 77; }
deb=$(tail -n 1 <<<"$deb")
[ $status -eq 0 ] && [ -f "$deb" ] || { fail "scripts/package printed no package: $deb"; exit 1; }
report=$(lintian --fail-on error,warning "$deb" 2>&1) || fail "lintian: $report"
contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
for path in ./usr/bin/tarnwick-toolkit ./usr/share/applications/example.tarnwick.toolkit.desktop \
  ./usr/share/metainfo/example.tarnwick.toolkit.metainfo.xml \
  ./usr/share/icons/hicolor/256x256/apps/tarnwick-toolkit.png \
  ./usr/share/icons/hicolor/scalable/apps/tarnwick-toolkit.svg \
  ./usr/share/man/man1/tarnwick-toolkit.1.gz ./usr/share/doc/tarnwick-toolkit/copyright \
  ./usr/share/doc/tarnwick-toolkit/changelog.gz; do
  grep -qxF "$path" <<<"$contents" || fail "the package has no $path"
done
depends=$(dpkg-deb -f "$deb" Depends)
[[ "$depends" == *libqt6widgets6* ]] || fail "Depends misses Qt: $depends"
# The version the program prints is the version it is packaged in (the changelog's newest entry).
version_line=$(env -u DISPLAY -u WAYLAND_DISPLAY "$program" --version)
[ "$(dpkg-deb -f "$deb" Version)" = "${version_line##* }" ] ||
  fail "the package's version $(dpkg-deb -f "$deb" Version) is not the program's: $version_line"
# Build folders (build*/, where this suite may be running) and the version control's files aside.
written=$(find "$source_dir" \( -path "$source_dir/build*" -o -path "$source_dir/.git" \) -prune -o \
  ! -type d -newer "$out/.started" -print)
[ -z "$written" ] || fail "the package's build wrote into the source folder: $written"
[ "$failures" -eq 0 ]
