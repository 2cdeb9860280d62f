#!/bin/bash
# Both halves of an uninstallation, as a user goes through them in the
# windows. In a Wine prefix of its own, with a display, pivalune.exe is
# started without arguments and drive_program.exe drives it:
#   "Installer"     a real application (appli.nsi, installed by
#                   appli-setup.nsi from the diskette A:) is installed under
#                   watch and started once before the after state is
#                   recorded: its settings file and its key of the user are
#                   part of the ".PV1" report;
#   "Désinstaller"  the application's own uninstaller (an NSIS uninstaller,
#                   which copies itself into the temporary folder and runs
#                   from there) with a report of what it removed, then the
#                   undo of the ".PV1" report, which removes what it left.
# The whole prefix is listed, and its registry exported, without the
# program before the installation (L0) and after the uninstallation (L3):
# they must be the same but for the program's own folder, the dates of the
# folders the installation made entries in, the temporary folder where the
# uninstaller's copy waits for Windows to delete it at the next start, and
# what Wine changes by itself (see machine-picture.sh). The prefix's
# wineserver is stopped on every path.
#
# Usage: uninstall-e2e.sh <pivalune.exe> <work directory> <drive_program.exe> <list_tree.exe>
set -eu
program=$1
work=$2
driver=$3
lister=$4
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
. "$root/tools/wine-env.sh"

for f in "$program" "$driver" "$lister"; do
  [ -f "$f" ] || { echo "uninstall-e2e: $f is missing" >&2; exit 1; }
done
command -v makensis >/dev/null || { echo "uninstall-e2e: makensis is missing (nsis)" >&2; exit 1; }

rm -rf "$work"
mkdir -p "$work/out" "$work/diskette"
use_own_prefix "$work"
export LC_ALL=C.UTF-8             # listings in UTF-8, sorted by bytes
out=$work/out
drive_c=$WINEPREFIX/drive_c

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
die() { echo "uninstall-e2e: $*" >&2; exit 1; }
cleanup() {
  wineserver -k 2>/dev/null || true
  stop_xvfb
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP
start_xvfb

started=$(date +%s)
step() { echo "== [$(( $(date +%s) - started )) s] $*"; }
run() { timeout 300 "$wine" "$@" </dev/null; }

step "the application and its setup: makensis"
makensis -V2 -INPUTCHARSET UTF8 "-DOUTFILE=$work/appli.exe" "$here/appli.nsi"
makensis -V2 -INPUTCHARSET UTF8 "-DAPPLI=$work/appli.exe" "-DOUTFILE=$work/diskette/appli-setup.exe" \
  "$here/appli-setup.nsi"

step "prefix $WINEPREFIX"
wineserver -p60
run wineboot --init >/dev/null 2>&1
# A second session, as in undo-e2e.sh: Wine registers the network cards
# some 30 s into the first one.
wineserver -k
wineserver -w
wineserver -p60
run wineboot >/dev/null 2>&1
user=$(ls "$drive_c/users" | grep -vx Public | head -1)
[ -n "$user" ] || die "no user folder in the prefix"

install_program "$program"
program_dir="$drive_c/Program Files/Pivalune"
settings='HKCU\Software\Ostralec\Pivalune'
run reg add "$settings" /v Drives /t REG_SZ /d C /f >/dev/null
run reg add "$settings" /v Type /t REG_SZ /d WR /f >/dev/null
# Only the very important decisions are asked: the run has nobody to
# answer the others.
run reg add "$settings" /v Code /t REG_DWORD /d 1 /f >/dev/null
setting() {
  run reg query "$settings" /v "$1" 2>/dev/null | tr -d '\r' |
    awk -v n="$1" '$1 == n { sub(/^ *[^ ]+ +[^ ]+ */, ""); print }'
}
ln -sfn "$work/diskette" "$WINEPREFIX/dosdevices/a:"

. "$here/machine-picture.sh"

step "listing of the machine before the installation (L0)"
list_prefix "$out/L0.before"
list_registry "$out/registry.before"

step "pivalune.exe started; the installation through Installer"
(cd "$program_dir" && timeout 900 "$wine" "$install_dir\\pivalune.exe" </dev/null >"$out/program.log" 2>&1) &
pivalune=$!
stop_program() {
  for _ in $(seq 60); do kill -0 "$pivalune" 2>/dev/null || return 0; sleep 0.5; done
  fail "the program did not end when asked to quit"
  wineserver -k 2>/dev/null || true
}
drive() {
  local log=$1
  shift
  if ! timeout 600 "$wine" "$driver" "$@" </dev/null >"$out/$log.cp1252"; then
    iconv -f CP1252 -t UTF-8 "$out/$log.cp1252" | tr -d '\r' >&2 || true
    wineserver -k 2>/dev/null || true
    die "drive_program.exe $1 did not reach the end"
  fi
  iconv -f CP1252 -t UTF-8 "$out/$log.cp1252" | tr -d '\r' >"$out/$log.txt"
  grep '^-- ' "$out/$log.txt" | sed 's/^/   /'
}
drive installation installer a: appli-setup.exe appli --first-run 'C:\Program Files\Appli\appli.exe' --keep
report=$(setting Last)
case "$report" in *.PV1) ;; *) die "Last names no installation report: '$report'" ;; esac
iconv -f CP1252 -t UTF-8 "$program_dir/$report" | tr -d '\r' >"$out/installation.txt"
for expected in '* Installation de Appli le ' 'C:\Program Files\Appli\' '+appli.exe ' '+desinstaller.exe ' \
                '+réglages.ini ' '+lettre.dot ' '+HKey_Local_Machine\Software\Appli' \
                '+"DisplayName"="Appli de démonstration"' '\Software\Appli de démonstration' '+"Langue"="fr"'; do
  grep -qF -- "$expected" "$out/installation.txt" || fail "the installation report has no line with '$expected'"
done

step "listing of the machine after the installation (L2)"
list_prefix "$out/L2.after-installation"
# The folders the installation made or deleted entries in are dated anew,
# and no undo dates them back.
comparable "$out/L0.before" recording >"$out/L0.comparable"
comparable "$out/L2.after-installation" recording >"$out/L2.comparable"
awk -F'\t' '
  function parent(p) { sub(/\/[^\/]*$/, "", p); print p }
  FNR == NR { before[$2] = 1; next }
  { after[$2] = 1 }
  END {
    for (p in before) if (!(p in after)) parent(p)
    for (p in after) if (!(p in before)) parent(p)
  }' "$out/L0.comparable" "$out/L2.comparable" | sort -u >"$out/undated"
temp="./drive_c/users/$user/Temp"
echo "$temp" >>"$out/undated"
echo "$temp" >"$out/unlisted"
: >"$out/rebuilt"

step "the uninstallation through Désinstaller"
drive uninstallation desinstaller "Appli de démonstration" "$report"
stop_program
wait "$pivalune" 2>/dev/null || true
sed -n '/étape D/,/étape E/p' "$out/uninstallation.txt" | grep -q 'a bien fonctionné.' ||
  fail "step D does not say that the uninstaller worked"

# The uninstall report: what the application's own uninstaller removed,
# and not what it left.
uninstall_report=$(cd "$program_dir" && ls *.PV2 2>/dev/null | head -1)
[ -n "$uninstall_report" ] || die "no uninstall report (.PV2) in the program's folder"
iconv -f CP1252 -t UTF-8 "$program_dir/$uninstall_report" | tr -d '\r' >"$out/uninstall.txt"
for expected in '* Suppression de Appli de démonstration le ' '-appli.exe ' '-desinstaller.exe ' \
                '-Lisez-moi.txt ' '-Modèles   REP' '-HKey_Local_Machine\Software\Appli' \
                '-HKey_Local_Machine\Software\Microsoft\Windows\CurrentVersion\Uninstall\Appli'; do
  grep -qF -- "$expected" "$out/uninstall.txt" || fail "the uninstall report has no line with '$expected'"
done
if grep -F -e 'réglages.ini' -e 'Appli de démonstration\' "$out/uninstall.txt" | grep -v '^\*'; then
  fail "the uninstall report says the uninstaller removed what it left (above)"
fi

# The undo of the installation report: its log, the report consumed.
log=$(setting Last)
[ "$log" = "${report%.PV1}.PV3" ] || fail "Last names '$log', not the undo log of $report"
[ -f "$program_dir/$log" ] || fail "no undo log $log"
[ ! -f "$program_dir/$report" ] || fail "the installation report $report was not consumed"
iconv -f CP1252 -t UTF-8 "$program_dir/$log" | tr -d '\r' >"$out/undo.txt" 2>/dev/null || true
if grep -E "ineffaçable|ajout impossible|Traitement interrompu|n'est pas vide" "$out/undo.txt"; then
  fail "undo log: something was not undone (above)"
fi
# What the uninstaller removed is gone already, and said so; what it left
# is removed.
for expected in "C:\Program Files\Appli\appli.exe n'existe plus" \
                "C:\Program Files\Appli\réglages.ini effacé" \
                " HKey_Local_Machine\Software\Appli n'existe plus"; do
  grep -qF -- "$expected" "$out/undo.txt" || fail "undo log: no line '$expected'"
done
grep -qE '^-HKey_Users.+.Software.Appli de démonstration$' "$out/undo.txt" ||
  fail "undo log: the key of the user is not removed"
left=$(cd "$program_dir" && ls | grep -v -e '^pivalune\.exe$' -e '^PVZIP\.DLL$' -e '^PVUNZIP\.DLL$' -e "^$log\$" -e "^$uninstall_report\$" || true)
[ -z "$left" ] || fail "left in the program's folder: $left"

step "listing of the machine after the uninstallation (L3)"
list_prefix "$out/L3.after"
list_registry "$out/registry.after"
expect_same_listing "the prefix after the uninstallation differs from its listing before the installation" \
  "$out/L0.before" "$out/L3.after" restore
expect_same_registry "the registry differs from its export before the installation" \
  "$out/registry.before" "$out/registry.after"

step "done: $failures failure(s)"
[ "$failures" -eq 0 ] || die "FAILED, see $work"
cleanup
rm -rf "$WINEPREFIX"
echo "uninstall-e2e: the application and all it left are gone"
