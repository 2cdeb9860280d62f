#!/bin/bash
# Saves one PNG per window of the program under BUILD/screenshots: each
# window is shown by pv_screenshots.exe in Wine's virtual desktop (which
# draws the window frames), in a Wine prefix of the run's own, with a home
# and a trash folder of its own and an Xvfb display when there is none.
# Whatever it started is stopped again, also on failure.
set -eu
build=${1:-build}
root=$(cd "$(dirname "$0")/.." && pwd)
tool=$root/$build/tools/pv_screenshots.exe
out=$root/$build/screenshots
run=$root/$build/screenshots-run
# PV_SHOTS="TDoublons TNettoyage" takes only those.
windows=${PV_SHOTS:-"TSplash TPrincipal TConfiguration TAvertissement TChoisir TRapport TAutresApps
TReStart TAttention TWaitWindow ShowMessageBox TTransferer TNettoyage TDoublons TSecurite
TAssEnreg-A TAssEnreg-B TAssEnreg-C TAssEnreg-D
TAssCompare-A TAssCompare-B TAssCompare-C TAssCompare-D TAssRestaure-A TAssRestaure-B TAssRestaure-C
TAssDesinst-A TAssDesinst-B TAssDesinst-C TAssDesinst-D TAssDesinst-E TAssDesinst-F TAssDesinst-G TAssDesinst-X
TAssInst-A TAssInst-B TAssInst-C TAssInst-D TAssInst-E TAssInst-F TAssInst-G TAssInst-H"}

[ -f "$tool" ] || { echo "screenshots: $tool is missing (make build)" >&2; exit 1; }

. "$root/tools/wine-env.sh"

rm -rf "$run" "$out"
mkdir -p "$out"
use_own_prefix "$run"

cleanup() {
  wineserver -k 2>/dev/null || true
  stop_xvfb
}
trap cleanup EXIT
start_xvfb

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
