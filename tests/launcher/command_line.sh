#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The program started from a shell: --help and --version answer on standard output and end at once
# whatever the display (with one, the window would open and the run time out); without a display
# that opens, one line on standard error and status 1 instead of Qt's abort.
# usage: command_line.sh PROGRAM VERSION
set -u
program=$1 version=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0

# A display number no X server listens on, by socket file or abstract socket.
display=99
while [ -e /tmp/.X11-unix/X$display ] || grep -q "X11-unix/X$display\$" /proc/net/unix; do
  display=$((display + 1))
done

# check NAME SETTING ARGUMENTS STATUS STDOUT-PATTERN STDERR-PATTERN: runs the program with only
# SETTING (one VAR=VALUE, or "") for a display; the output must match the patterns in full.
check() {
  local name=$1 setting=$2 arguments=$3 status=$4 out=$5 err=$6
  # shellcheck disable=SC2086 # the arguments split on blanks
  env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u XDG_SESSION_TYPE ${setting:+"$setting"} \
    timeout 20 "$program" $arguments >"$tmp/out" 2>"$tmp/err"
  local got=$?
  if [ "$got" != "$status" ] || ! [[ "$(<"$tmp/out")" =~ ^$out$ ]] ||
    ! [[ "$(<"$tmp/err")" =~ ^$err$ ]]; then
    echo "FAIL: $name: status $got (wanted $status)"
    echo "--- stdout:"; cat "$tmp/out"; echo "--- stderr:"; cat "$tmp/err"
    failures=$((failures + 1))
  fi
}

newline=$'\n'
usage="Usage: tarnwick-toolkit \\[--help \\| --version\\]$newline.*"
name="tarnwick's Toolkit $version"
for setting in "" DISPLAY=:$display QT_QPA_PLATFORM=offscreen; do
  check "--help, ${setting:-no display}" "$setting" "--help" 0 "$usage" ""
  check "--version, ${setting:-no display}" "$setting" "--version" 0 "$name" ""
  check "--version after another argument, ${setting:-no display}" "$setting" "-x --version" 0 \
    "$name" ""
  # The last word is the unknown option: after a Qt option whose value follows '=', the next
  # argument is not taken for that value.
  for options in --x -x --help=yes -reverse=1 "-style=Fusion --x" "--platform=offscreen -x"; do
    check "unknown option in $options, ${setting:-no display}" "$setting" "$options" 2 "" \
      "tarnwick-toolkit: unrecognized option '${options##* }'${newline}Try 'tarnwick-toolkit --help' for more information."
  done
done
# Qt's own options, with one dash or two and a value apart or after '=', reach Qt: with a
# display that cannot be opened the run gets as far as opening it.

line="tarnwick's Toolkit needs a desktop session \([^)$newline]+\); without one, "
line+="run it as: xvfb-run tarnwick-toolkit"
check "no display" "" "" 1 "" "$line"
check "display that cannot be opened" DISPLAY=:$display "" 1 "" "$line"
for arguments in "-style Fusion -reverse" "--platform=xcb --display :$display" "somefile.txt"; do
  check "display that cannot be opened, $arguments" DISPLAY=:$display "$arguments" 1 "" "$line"
done

# Any other failure to start is told in Qt's own words, without the display hint: here a
# platform plugin that is not installed. Qt's lines follow; none of them is the hint, which
# begins with "tarnwick's".
plugin="(qt\.qpa\.plugin: )?Could not find the Qt platform plugin \"nosuchplugin\"[^$newline]*"
plugin+="($newline([^t$newline][^$newline]*)?)*"
check "platform plugin that is missing" QT_QPA_PLATFORM=nosuchplugin "" 1 "" "$plugin"

[ "$failures" -eq 0 ]
