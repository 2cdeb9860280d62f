#!/bin/bash
# Runs every test in a Wine prefix of its own: a fresh prefix, a persistent
# wineserver, an Xvfb display when there is none, and a trash folder of the
# run's own. Whatever it started is stopped again, also on failure.
set -eu
build=${1:-build}
shift || true
root=$(cd "$(dirname "$0")/.." && pwd)
run=$root/$build/testrun

. "$root/tools/wine-env.sh"

# The diskettes of the tests are small mounts inside the run's prefix; a
# run killed outright may have left some.
unmount_diskettes() {
  [ -d "$run" ] || return 0
  findmnt -rn -o TARGET | awk -v r="$run/" 'index($0, r) == 1' | sort -r | while read -r target; do
    umount "$target" 2>/dev/null || umount -l "$target" 2>/dev/null || true
  done
}
unmount_diskettes
rm -rf "$run"
use_own_prefix "$run"
export TZ=UTC                    # fixture dates are given in local time
export PV_TEST_RUN=$run

cleanup() {
  wineserver -k 2>/dev/null || true
  unmount_diskettes
  stop_xvfb
}
trap cleanup EXIT
start_xvfb

# The server stays up between test processes, and the prefix's own
# background processes (services, explorer) start here, not under ctest,
# whose output pipes they would otherwise hold open.
boot_persistent_prefix

cd "$root/$build"
ctest --output-on-failure --no-tests=error "$@"
