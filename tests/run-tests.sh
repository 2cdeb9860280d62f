#!/bin/bash
# Runs every test in a Wine prefix of its own: a fresh prefix, a persistent
# wineserver, an Xvfb display when there is none, and a trash folder of the
# run's own. Whatever it started is stopped again, also on failure.
set -eu
build=${1:-build}
shift || true
root=$(cd "$(dirname "$0")/.." && pwd)
run=$root/$build/testrun

rm -rf "$run"
mkdir -p "$run/home" "$run/xdg"
export WINEPREFIX=$run/prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export HOME=$run/home            # the prefix links the shell folders here
export XDG_DATA_HOME=$run/xdg    # the recycle bin of the run
export TZ=UTC                    # fixture dates are given in local time
export PV_TEST_RUN=$run

xvfb_pid=""
cleanup() {
  wineserver -k 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT

if [ -z "${DISPLAY:-}" ]; then
  for n in $(seq 90 120); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || break
  done
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY=":$n"
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
fi

# The server stays up between test processes, and the prefix's own
# background processes (services, explorer) start here, not under ctest,
# whose output pipes they would otherwise hold open.
mkdir -p "$WINEPREFIX"
wineserver -p
/usr/lib/wine/wine64 wineboot --init </dev/null >/dev/null 2>&1

cd "$root/$build"
ctest --output-on-failure --no-tests=error "$@"
