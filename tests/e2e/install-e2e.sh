#!/bin/bash
# Watching an installation through the windows, as `make run` offers it: in
# a Wine prefix of its own, with a display, the program is started without
# arguments; drive_program.exe presses "Installer" in its main window and
# takes the wizard from the diskette A: holding the sample installer to the
# report viewer and "Terminer". The report must list what the installer
# did, the settings of the analysis must be cleared, and nothing but the
# report may be left of the run. The prefix's wineserver is stopped on
# every path.
#
# Usage: install-e2e.sh <pivalune.exe> <work directory> <drive_program.exe>
set -eu
program=$1
work=$2
driver=$3
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
. "$root/tools/wine-env.sh"

[ -f "$program" ] || { echo "install-e2e: $program is missing" >&2; exit 1; }
command -v makensis >/dev/null || { echo "install-e2e: makensis is missing (nsis)" >&2; exit 1; }

rm -rf "$work"
mkdir -p "$work/diskette"
use_own_prefix "$work"
cleanup() {
  wineserver -k 2>/dev/null || true
  stop_xvfb
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP
start_xvfb

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
run() { timeout 300 "$wine" "$@" </dev/null; }

wineserver -p60
run wineboot --init >/dev/null 2>&1
install_program "$program"
program_dir="$WINEPREFIX/drive_c/Program Files/Pivalune"
settings='HKCU\Software\Ostralec\Pivalune'
run reg add "$settings" /v Drives /t REG_SZ /d C /f >/dev/null
run reg add "$settings" /v Type /t REG_SZ /d WR /f >/dev/null
setting() {
  run reg query "$settings" /v "$1" 2>/dev/null | tr -d '\r' |
    awk -v n="$1" '$1 == n { sub(/^ *[^ ]+ +[^ ]+ */, ""); print }'
}

makensis -V2 -INPUTCHARSET UTF8 -DSILENT "-DOUTFILE=$work/diskette/exemple-installation.exe" \
  "$root/demo/sample-installer.nsi"
ln -sfn "$work/diskette" "$WINEPREFIX/dosdevices/a:"

echo "== pivalune.exe, driven by drive_program.exe"
(cd "$program_dir" && timeout 600 "$wine" "$install_dir\\pivalune.exe" </dev/null >"$work/program.log" 2>&1) &
started=$!
if ! timeout 600 "$wine" "$driver" installer a: exemple-installation.exe exemple </dev/null >"$work/driver.out"; then
  fail "drive_program.exe did not reach the end"
  # The program waits for a user who is no longer there.
  kill "$started" 2>/dev/null || true
  wineserver -k 2>/dev/null || true
fi
iconv -f CP1252 -t UTF-8 "$work/driver.out" | tr -d '\r' >"$work/driver.txt" || true
grep '^-- ' "$work/driver.txt" || true
# The program ends once the driver has quit it; one that does not is stopped.
for _ in $(seq 60); do kill -0 "$started" 2>/dev/null || break; sleep 0.5; done
if kill -0 "$started" 2>/dev/null; then
  fail "the program did not end when asked to quit"
  wineserver -k 2>/dev/null || true
fi
wait "$started" 2>/dev/null || true

report=$(setting Last)
case "$report" in
  *.PV1) ;;
  *) fail "Last names no installation report: '$report'" ;;
esac
[ -f "$program_dir/$report" ] || fail "the report $report is missing"
text=$(iconv -f CP1252 -t UTF-8 "$program_dir/$report" 2>/dev/null | tr -d '\r' || true)
for expected in '* Installation de Exemple le ' 'C:\Program Files\Exemple\' '+LISEZMOI.TXT ' \
                '+exemple.dat ' '+[Exemple]' '+Version=1.0' '+HKey_Local_Machine\Software\Exemple' \
                '+"Langue"="Français"'; do
  grep -qF -- "$expected" <<<"$text" || fail "the report has no line with '$expected'"
done
grep -qF -- '+LISEZMOI.TXT ' "$work/driver.txt" || fail "the viewer did not show the report"
for name in Pred Succ Error; do
  [ -z "$(setting $name)" ] || fail "the setting $name is '$(setting $name)' after the analysis"
done
left=$(cd "$program_dir" && ls | grep -v -e '^pivalune\.exe$' -e '^PVZIP\.DLL$' -e '^PVUNZIP\.DLL$' -e "^$report\$" || true)
[ -z "$left" ] || fail "left in the program directory: $left"

if [ "$failures" -ne 0 ]; then
  echo "--- report"; echo "$text"
  echo "--- driver"; cat "$work/driver.txt"
  echo "install-e2e: $failures failure(s)" >&2
  exit 1
fi
echo "install-e2e: the installation watched through the windows is reported in $report"
