#!/bin/bash
# The main job of the program, shown without a display: in a Wine prefix of
# its own, record a reference state with `pivalune.exe /ENR`, run a small
# installer silently, compare with `pivalune.exe /COM` and print the report.
# Whatever it started is stopped again, also on failure.
set -eu
build=${1:-build}
root=$(cd "$(dirname "$0")/.." && pwd)
demo=$root/$build/demo
started=$(date +%s)

program=$root/$build/bin/pivalune.exe
[ -f "$program" ] || { echo "run-demo: $program is missing (make build)" >&2; exit 1; }

. "$root/tools/wine-env.sh"
rm -rf "$demo"
unset DISPLAY                     # the command line needs no display
use_own_prefix "$demo"

step() { echo; echo "== $*"; }
cleanup() { wineserver -k 2>/dev/null || true; }
trap cleanup EXIT

step "Préfixe Wine de démonstration : $WINEPREFIX"
wineserver -p
$wine wineboot --init </dev/null >/dev/null 2>&1

install_program "$program"
unix_install_dir="$WINEPREFIX/drive_c/Program Files/Pivalune"
echo "pivalune.exe installé dans $install_dir"

# Drive C:, WIN.INI and the registry: quick, and it shows every kind of change.
key='HKCU\Software\Ostralec\Pivalune'
$wine reg add "$key" /v Drives /t REG_SZ /d C /f >/dev/null
$wine reg add "$key" /v Type /t REG_SZ /d WR /f >/dev/null
echo "Réglages : Drives = C, Type = WR"

step "Installateur d'exemple (makensis)"
makensis -V2 -INPUTCHARSET UTF8 "-DOUTFILE=$demo/exemple-installation.exe" "$root/demo/sample-installer.nsi"

pivalune() {
  local t0=$(date +%s)
  $wine "$install_dir\\pivalune.exe" "$@" </dev/null
  echo "pivalune.exe $* : terminé en $(( $(date +%s) - t0 )) s"
}

step "Etat de référence : pivalune.exe /ENR"
pivalune /ENR

step "Installation silencieuse : exemple-installation.exe /S"
$wine "$demo/exemple-installation.exe" /S </dev/null
echo "installé dans C:\\Program Files\\Exemple"

step "Comparaison : pivalune.exe /COM"
pivalune /COM

setting() {
  $wine reg query "$key" /v "$1" 2>/dev/null | tr -d '\r' | awk -v n="$1" '$1 == n { print $3 }'
}
report=$(setting Last)
[ -n "$report" ] || { echo "run-demo: no report named in Last" >&2; exit 1; }

step "Rapport $report (Last)"
iconv -f CP1252 -t UTF-8 "$unix_install_dir/$report" | tr -d '\r'

step "Démonstration terminée en $(( $(date +%s) - started )) s"
