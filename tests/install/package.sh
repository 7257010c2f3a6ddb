#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package as a user installs it: lintian finds no error or warning, and the package
# holds what the install tree holds, its copyright and its changelog. Skipped where lintian is
# not installed.
# usage: package.sh SOURCE_DIR BUILD_DIR
set -u
source_dir=$1 build=$2
command -v lintian >/dev/null || { echo "lintian is not installed"; exit 77; }
deb=$("$source_dir/scripts/package" "$build" | tail -n 1)
[ -f "$deb" ] || { echo "FAIL: scripts/package printed no package: $deb"; exit 1; }
failures=0
report=$(lintian --fail-on error,warning "$deb" 2>&1) || {
  echo "FAIL: lintian: $report"
  failures=$((failures + 1))
}
contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
for path in ./usr/bin/tarnwick-toolkit ./usr/share/applications/example.tarnwick.toolkit.desktop \
  ./usr/share/metainfo/example.tarnwick.toolkit.metainfo.xml \
  ./usr/share/icons/hicolor/256x256/apps/tarnwick-toolkit.png \
  ./usr/share/icons/hicolor/scalable/apps/tarnwick-toolkit.svg \
  ./usr/share/man/man1/tarnwick-toolkit.1.gz ./usr/share/doc/tarnwick-toolkit/copyright \
  ./usr/share/doc/tarnwick-toolkit/changelog.gz; do
  grep -qxF "$path" <<<"$contents" || { echo "FAIL: the package has no $path"; failures=$((failures + 1)); }
done
depends=$(dpkg-deb -f "$deb" Depends)
[[ "$depends" == *libqt6widgets6* ]] || { echo "FAIL: Depends misses Qt: $depends"; failures=$((failures + 1)); }
[ "$failures" -eq 0 ]
