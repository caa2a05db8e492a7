#!/usr/bin/env bash
# Runs the built program as a screen reader meets it: under Xvfb with openbox and the AT-SPI
# bus, it walks the accessibility tree and drives the windows by keyboard, printing what is
# read out. Needs xvfb, openbox, at-spi2-core, python3-pyatspi and xdotool, which
# install-deps.sh installs. Usage: scripts/screen-reader-walk.sh [build/velmora]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
binary=$(realpath "${1:-build/velmora}")
work=$(mktemp -d)  # the program keeps its Database folder beside itself
cp "$binary" "$work/velmora"
trap 'rm -rf "$work"' EXIT
# Two lists for the side bar, Friends open; a browser that only notes the pages it is given.
mkdir -p "$work/Database" "$work/bin"
printf 'Friends' >"$work/Database/LastDatabase"
: >"$work/Database/Friends"
printf 'b@example.net \nc@example.net \nd@example.net \n' >"$work/Database/Clients"
printf '#!/bin/sh\necho "$@" >>"%s/opened"\n' "$work" >"$work/bin/xdg-open"
chmod +x "$work/bin/xdg-open"
dbus-run-session -- bash -c '
  Xvfb :57 -screen 0 1280x1024x24 >/dev/null 2>&1 & xvfb=$!
  export DISPLAY=:57
  sleep 1
  openbox >/dev/null 2>&1 & wm=$!
  /usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 & bus=$!
  sleep 1
  (cd "$1" && PATH="$1/bin:$PATH" QT_ACCESSIBILITY=1 QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 ./velmora >velmora.log 2>&1) & app=$!
  rc=0
  VELMORA_WALK_DIR="$1" /usr/bin/python3 "$2/screen_reader_walk.py" || rc=$?
  kill $app $wm $bus $xvfb 2>/dev/null || true
  exit $rc
' walk "$work" "$here"
