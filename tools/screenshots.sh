#!/bin/bash
# Saves one PNG per window of the program under BUILD/screenshots: each
# window is shown by pv_screenshots.exe in Wine's virtual desktop (which
# draws the window frames), in a Wine prefix of the run's own, with a home
# and a trash folder of its own and an Xvfb display when there is none.
# Whatever it started is stopped again, also on failure.
set -eu
build=${1:-build}
root=$(cd "$(dirname "$0")/.." && pwd)
tool=$root/$build/bin/pv_screenshots.exe
out=$root/$build/screenshots
run=$root/$build/screenshots-run
wine=/usr/lib/wine/wine64
windows="TSplash TPrincipal TConfiguration TAvertissement TChoisir TRapport TAutresApps
TReStart TAttention TWaitWindow TWizard ShowMessageBox"

[ -f "$tool" ] || { echo "screenshots: $tool is missing (make build)" >&2; exit 1; }

rm -rf "$run" "$out"
mkdir -p "$run/home" "$run/xdg" "$out"
# The X authority of a real display is found through HOME, which changes.
if [ -n "${DISPLAY:-}" ] && [ -z "${XAUTHORITY:-}" ] && [ -f "$HOME/.Xauthority" ]; then
  export XAUTHORITY=$HOME/.Xauthority
fi
export WINEPREFIX=$run/prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export HOME=$run/home            # the prefix links the shell folders here
export XDG_DATA_HOME=$run/xdg

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

mkdir -p "$WINEPREFIX"
wineserver -p
$wine wineboot --init </dev/null >/dev/null 2>&1

# One virtual desktop for the whole run: started once, and made the default
# desktop of the prefix, so that every window shown joins it. A desktop
# started with each program would linger for seconds after it.
desktop=pivalune size=1024x768
$wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /t REG_SZ /d $desktop /f >/dev/null 2>&1
$wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v $desktop /t REG_SZ /d $size /f >/dev/null 2>&1
$wine explorer /desktop=$desktop,$size </dev/null >"$run/desktop.log" 2>&1 &

# Wine sees the host's files on Z:.
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

cut=$out/cut-texts.txt
: >"$cut"
failed=0
for w in $windows; do
  png=$out/$w.png
  # French system texts too (the buttons of message boxes); Wine needs no
  # installed locale for that.
  LC_ALL=fr_FR.UTF-8 $wine "$(windows_path "$tool")" "$w" "$(windows_path "$png")" "$(windows_path "$cut")" \
    </dev/null >"$run/$w.log" 2>&1 || true
  if [ -s "$png" ]; then
    echo "$png"
  else
    echo "screenshots: no picture of $w ($run/$w.log)" >&2
    failed=1
  fi
done
if [ -s "$cut" ]; then
  echo "Texts too large for their controls ($cut):"
  iconv -f CP1252 -t UTF-8 "$cut"
else
  rm -f "$cut"
  echo "No text too large for its control."
fi
exit $failed
