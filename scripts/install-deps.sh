#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the benchmarks need.
# Only missing packages are installed, so a second run costs one dpkg query.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev qt6-qpa-plugins
  libgtest-dev libgmock-dev libbenchmark-dev
  libgmime-3.0-dev libpcre2-dev
  clang libclang-rt-14-dev clang-format clang-tidy
  python3 python3-aiosmtpd dovecot-pop3d openssl
  ripgrep coreutils grep
  xvfb xauth x11-utils openbox xdotool at-spi2-core python3-pyatspi dbus dbus-x11
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages: ${missing[*]}" >&2
  echo "Run 'make deps' as root, or install them with apt-get." >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
