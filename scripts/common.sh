# SPDX-License-Identifier: GPL-3.0-or-later
# Shared by the set-up scripts: installs what a fresh Debian 12 machine lacks.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# fonts-dejavu-core: the tests measure captions in a known font; xvfb and xauth: xvfb-run, for
# starting the program where there is no desktop session; qt6-translations-l10n: Qt's own texts
# (file dialogs, context menus) in Turkish, like the rest of the interface; desktop-file-utils and
# appstream: the validators the install test runs on the desktop entry and the metainfo;
# dpkg-dev, debhelper and lintian: the Debian package's build (dpkg-buildpackage, dh) and its check.
PACKAGES=(build-essential cmake qt6-base-dev qt6-base-dev-tools libgl-dev fonts-dejavu-core xvfb xauth
          qt6-translations-l10n desktop-file-utils appstream dpkg-dev debhelper lintian)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

install_missing() {
  local missing=()
  for p in "${PACKAGES[@]}" "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    as_root apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
  fi
}

# build DIR [--target NAME] [cmake options...]: configures DIR and builds all of it, or only NAME
# and what it needs.
build() {
  local dir=$1; shift
  local target=()
  if [ "${1:-}" = --target ]; then
    target=(--target "$2"); shift 2
  fi
  cmake -S "$ROOT" -B "$ROOT/$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$ROOT/$dir" -j "$(nproc)" "${target[@]}"
}
