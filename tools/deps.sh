#!/bin/sh
# Installs the Debian packages the build, the tests and the benchmarks need,
# when one of them is missing. Runs as root on a fresh Debian 12 machine.
set -e
packages="cmake make g++ g++-mingw-w64-x86-64-posix libz-mingw-w64-dev googletest
wine wine64 fonts-wine xvfb xauth nsis unzip python3"
missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
echo "Installing:$missing"
if [ "$(id -u)" -ne 0 ]; then
  echo "These Debian packages are missing:$missing (run as root, or install them)" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends $missing >/dev/null
