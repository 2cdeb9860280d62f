#!/bin/bash
# Runs the recording, comparison, registry, duplicates and zip benchmarks in a Wine prefix of their
# own under the build directory: the prefix is made on first use and reused
# afterwards (PV_BENCH_FRESH=1 makes a new one), with a persistent wineserver
# that is stopped again at the end. Extra arguments go to both benchmarks,
# each using those it knows (--reps N; recording: --dirs N --files N
# --keys N --values N; comparison: --lines N --small-lines N --changes N;
# registry: --registry-keys N --registry-values N --changes N; duplicates:
# --dirs N --files N; zip: none of its own).
# PV_BENCH_ONLY=recording, comparison, registry, duplicates or zip runs only that one.
#
# What they generate lives under $BUILD/benchrun/work on the build
# directory's own file system, not in /tmp. The benchmarks remove it, their
# drive links and their registry keys themselves, also on Ctrl+C; this
# script removes whatever a killed run left behind.
set -eu
build=${1:-build}
shift || true
root=$(cd "$(dirname "$0")/.." && pwd)
run=$root/$build/benchrun
work=$run/work
only=${PV_BENCH_ONLY:-}
benches=
for name in recording comparison registry duplicates zip; do
  [ -z "$only" ] || [ "$only" = "$name" ] || continue
  exe=$root/$build/bench/bench_$name.exe
  [ -f "$exe" ] || { echo "no $exe: run make build BUILD=$build first" >&2; exit 1; }
  benches="$benches $name"
done
[ -n "$benches" ] || { echo "PV_BENCH_ONLY: recording, comparison, registry, duplicates or zip" >&2; exit 1; }
[ "${PV_BENCH_FRESH:-0}" = 1 ] && rm -rf "$run"
. "$root/tools/wine-env.sh"
use_own_prefix "$run"
# File dates are converted to local time; a zone with daylight saving time
# makes that conversion do its real work.
export TZ=${TZ:-Europe/Paris}

leftovers() {
  # Drive links into the work directory, then the work directory itself.
  # The registry keys are volatile: they end with the server.
  if [ -d "$WINEPREFIX/dosdevices" ]; then
    for link in "$WINEPREFIX"/dosdevices/?:; do
      [ -L "$link" ] || continue
      case "$(readlink "$link")" in "$work"/*) rm -f "$link" ;; esac
    done
  fi
  rm -rf "$work"
}
cleanup() {
  wineserver -k 2>/dev/null || true
  leftovers
}
trap cleanup EXIT
trap 'exit 130' INT TERM

echo "free space for the tree: $(df -h --output=avail "$run" | tail -1 | tr -d ' ')"
leftovers
wineserver -p 2>/dev/null || true  # a server left by an earlier run is reused
$wine wineboot --init </dev/null >/dev/null 2>&1

status=0
for name in $benches; do
  echo "== bench_$name"
  $wine "$root/$build/bench/bench_$name.exe" --work "Z:${work//\//\\}" "$@" \
    </dev/null || status=$?
  leftovers
done
exit $status
