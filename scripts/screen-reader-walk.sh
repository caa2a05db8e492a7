#!/usr/bin/env bash
# Runs the built program as a screen reader meets it: under Xvfb with openbox and the AT-SPI
# bus, it walks the accessibility tree and drives the windows by keyboard, printing what is
# read out. Needs xvfb, openbox, at-spi2-core, python3-pyatspi and xdotool, which
# install-deps.sh installs. Usage: scripts/screen-reader-walk.sh [build/velmora]
set -euo pipefail
exec /usr/bin/python3 "$(dirname "$0")/screen_reader_walk.py" "$(realpath "${1:-build/velmora}")"
