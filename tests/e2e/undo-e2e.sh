#!/bin/bash
# The undo from end to end, as a user runs it from the command line: in a
# fresh Wine prefix of its own, with pivalune.exe installed on C:,
#   pivalune.exe /ENR       records the reference state,
#   gravelot-setup.exe /S   a real installer (gravelot-setup.nsi) changes the machine,
#   pivalune.exe /COM       must report every change of the installer, and only those,
#   pivalune.exe /RES       must take them all back.
# The whole prefix is listed independently of the program (list_tree.exe
# for what a Windows program sees of each entry: kind, last-write time,
# attributes; find and sha256sum for sizes, exact times and contents) and
# its registry exported, before the recording (L0), after it (L1), after
# the installer (L2) and after the restore (L3). Recording may change
# nothing outside the program's directory (L1 = L0); after the restore,
# only the dates the installation moved and those of the files rewritten on
# purpose may differ (L3 = L0). Any other difference fails the test; the
# prefix's wineserver is stopped on every path.
#
# Usage: undo-e2e.sh <pivalune.exe> <work directory> <list_tree.exe>
set -eu
program=$1
work=$2
lister=$3
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../tools/wine-env.sh"

[ -f "$program" ] || { echo "undo-e2e: $program is missing" >&2; exit 1; }
[ -f "$lister" ] || { echo "undo-e2e: $lister is missing" >&2; exit 1; }
command -v makensis >/dev/null || { echo "undo-e2e: makensis is missing (nsis)" >&2; exit 1; }

rm -rf "$work"
mkdir -p "$work/out"
use_own_prefix "$work"
export LC_ALL=C.UTF-8             # listings in UTF-8, sorted by bytes
unset DISPLAY                     # the command line needs no display
out=$work/out
drive_c=$WINEPREFIX/drive_c

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
die() { echo "undo-e2e: $*" >&2; exit 1; }

# The server outlives each program (-p) so that the registry stays live
# between them; should this script be killed without its trap, it still
# ends by itself a minute after the last program.
cleanup() { wineserver -k 2>/dev/null || true; }
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

started=$(date +%s)
step() { echo "== [$(( $(date +%s) - started )) s] $*"; }

# A Windows program of the prefix, bounded in time, without input.
run() { timeout 300 "$wine" "$@" </dev/null; }

step "installer: makensis gravelot-setup.nsi"
makensis -V2 -INPUTCHARSET UTF8 "-DOUTFILE=$work/gravelot-setup.exe" "$here/gravelot-setup.nsi"

step "prefix $WINEPREFIX"
wineserver -p60
run wineboot --init >/dev/null 2>&1
# The machine started once more after its setup, as a user's has been:
# in the first session of a new prefix, Wine registers the host's network
# interfaces (HKLM\Software\Microsoft\Windows NT\CurrentVersion\NetworkCards\<n>,
# keys that `reg export` does not show and the restore cannot delete) only
# some 30 s after the setup, between the reference and the comparison,
# which then reports them as installed; every later session has them from
# its start.
wineserver -k
wineserver -w
wineserver -p60
run wineboot >/dev/null 2>&1
user=$(ls "$drive_c/users" | grep -vx Public | head -1)
[ -n "$user" ] || die "no user folder in the prefix"

# ---------------------------------------------------------------------------
# The program on C:, and the machine as it stands before the installation:
# what the installer changes rather than adds is there first.

install_program "$program"
program_dir="$drive_c/Program Files/Pivalune"

settings='HKCU\Software\Ostralec\Pivalune'
run reg add "$settings" /v Drives /t REG_SZ /d C /f >/dev/null
# Every recorded type: MSDOS.SYS and CONFIG.SYS (a Wine prefix has none),
# AUTOEXEC.BAT, every .INI file, the registry. The command line asks
# nothing (confirmation level 0), whatever the setting Code says.
run reg add "$settings" /v Type /t REG_SZ /d MCAIWSR /f >/dev/null

# A start-up file as one was written by hand: letters of both cases and an
# empty line, CR LF line ends.
autoexec_before=$'@echo off\r\nprompt $p$g\r\n\r\nset temp=C:\\windows\\temp\r\npath C:\\windows;C:\\windows\\command\r\n'
printf '%s' "$autoexec_before" > "$drive_c/AUTOEXEC.BAT"
# A private profile in the form Wine's profile functions write it (CP1252).
printf '[G\xe9n\xe9ral]\r\nCouleur=rouge\r\nTaille=12\r\n' > "$drive_c/windows/atelier.ini"
# A protected profile that nothing installs into: read-only, hidden and
# system, dated on an odd second, which a date of two-second steps cannot
# hold. Recording copies every .INI file; the original must stay as it was.
printf '[Lecture]\r\nSeule=oui\r\n' > "$drive_c/windows/lecture.ini"
TZ=UTC touch -d '1998-12-05 14:03:07' "$drive_c/windows/lecture.ini"
# One attribute a call: Wine's attrib applies only one of "+r +h +s".
for attribute in +r +h +s; do run attrib "$attribute" 'C:\windows\lecture.ini' >/dev/null; done
# A shared library that one application uses already.
printf 'MZ commun.dll' > "$drive_c/windows/system32/commun.dll"
shared_dlls='HKLM\Software\Microsoft\Windows\CurrentVersion\SharedDLLs'
run reg add "$shared_dlls" /v 'C:\windows\system32\commun.dll' /t REG_DWORD /d 1 /f >/dev/null
run reg add 'HKCU\Software\Atelier' /v Couleur /t REG_SZ /d rouge /f >/dev/null
run reg add 'HKCU\Software\Atelier' /v Ancienne /t REG_DWORD /d 7 /f >/dev/null
run reg add 'HKCU\Software\Atelier\Vieux' /ve /t REG_SZ /d 'Atelier 1.0' /f >/dev/null
run reg add 'HKCU\Software\Atelier\Vieux' /v Compteur /t REG_DWORD /d 3 /f >/dev/null
run reg add 'HKCU\Software\Atelier\Vieux' /v Motif /t REG_BINARY /d 00ff10 /f >/dev/null
run reg add 'HKCU\Software\Atelier\Vieux' /v Nom /t REG_SZ /d Atelier /f >/dev/null

pivalune() {
  local t0=$(date +%s)
  (cd "$program_dir" && run "$install_dir\\pivalune.exe" "$@")
  echo "   pivalune.exe $* : $(( $(date +%s) - t0 )) s"
}
setting() {
  run reg query "$settings" /v "$1" 2>/dev/null | tr -d '\r' |
    awk -v n="$1" '$1 == n { sub(/^ *[^ ]+ +[^ ]+ */, ""); print }'
}

# ---------------------------------------------------------------------------
# Listings of the machine made without the program.

. "$here/machine-picture.sh"

step "listing of the machine before the recording (L0)"
list_prefix "$out/L0.before-recording"
list_registry "$out/registry.before"
grep -Fq '[HKEY_CURRENT_USER\Software\Atelier\Vieux]' "$out/registry.before" ||
  die "the registry listing misses the prepared keys"
grep -qP '^f\t\./drive_c/windows/lecture\.ini\t\d+\t1998-12-05T14:03:07\tRHSA-\t1998-12-05T14:03:07\.0+\t' \
    "$out/L0.before-recording" ||
  die "lecture.ini is not listed read-only, hidden and system, dated 1998-12-05 14:03:07"

# ---------------------------------------------------------------------------
# The reference state. Recording reads the machine: it may write nothing
# but into its own directory, nor move a date or an attribute.

step "reference state: pivalune.exe /ENR"
pivalune /ENR
reference=$(setting Bat)
[ ${#reference} -eq 7 ] || die "/ENR named no reference state in Bat (\"$reference\")"
[ -f "$program_dir/$reference.000" ] || die "/ENR wrote no index $reference.000"

step "listing of the machine after the recording (L1)"
list_prefix "$out/L1.after-recording"
list_registry "$out/registry.after-recording"
expect_same_listing "the recording (/ENR) changed the prefix outside the program's directory" \
  "$out/L0.before-recording" "$out/L1.after-recording"
expect_same_registry "the recording (/ENR) changed the registry" \
  "$out/registry.before" "$out/registry.after-recording"

step "installation: gravelot-setup.exe /S"
run "$work/gravelot-setup.exe" /S
[ -f "$drive_c/Program Files/Gravelot/Données/Modèles/lettre.dot" ] ||
  die "the installer did not install (no lettre.dot)"
grep -q GRAVELOT "$drive_c/AUTOEXEC.BAT" || die "the installer did not change AUTOEXEC.BAT"

# What the restore may date anew: the directories in which the installer
# made or deleted entries (the parents of the entries that L2, taken right
# after it, has and L0 has not, or the other way round), and the files the
# restore rewrites on purpose: the start-up file and the .INI files the
# installer changed.
step "listing of the machine after the installation (L2)"
list_prefix "$out/L2.after-installation"
comparable "$out/L0.before-recording" recording > "$out/L0.before-recording.recording"
comparable "$out/L2.after-installation" recording > "$out/L2.after-installation.recording"
awk -F'\t' '
  function parent(p) { sub(/\/[^\/]*$/, "", p); print p }
  FNR == NR { before[$2] = 1; next }
  { after[$2] = 1 }
  END {
    for (p in before) if (!(p in after)) parent(p)
    for (p in after) if (!(p in before)) parent(p)
  }' "$out/L0.before-recording.recording" "$out/L2.after-installation.recording" |
  sort -u > "$out/dated-directories"
# Two more directories are dated with no entry to show for it in L2:
#  - the user's Temp folder, where NSIS unpacks its plug-ins into a folder
#    of its own that it deletes before it ends.
# The directories of the files the restore rewrites keep their dates: its
# work files are made and deleted beside them, and their dates put back.
REWRITTEN="./drive_c/AUTOEXEC.BAT ./drive_c/windows/win.ini ./drive_c/windows/atelier.ini"
{
  cat "$out/dated-directories"
  printf '%s\n' "./drive_c/users/$user/Temp" $REWRITTEN
} > "$out/undated"
echo ./drive_c/AUTOEXEC.BAT > "$out/rebuilt"
echo "   directories the installer dated anew:"; sed 's/^/     /' "$out/dated-directories"

# ---------------------------------------------------------------------------
# The comparison report.

step "comparison: pivalune.exe /COM"
pivalune /COM
report=$(setting Last)
[ -n "$report" ] && [ -f "$program_dir/$report" ] || die "/COM wrote no report (Last = \"$report\")"
[ "$(setting Bat)" = "$reference" ] || fail "/COM changed the reference state in Bat"
iconv -f CP1252 -t UTF-8 "$program_dir/$report" | tr -d '\r' > "$out/report.txt"
echo "   report $report: $(wc -l < "$out/report.txt") lines (out/report.txt)"

# The lines of the block whose heading is $1 (given through the
# environment: awk -v would take its backslashes for escapes).
block() {
  HEADING=$1 awk '$0 == ENVIRON["HEADING"] { on = 1; next } on && $0 == "" { exit } on' \
    "$out/report.txt"
}
# The block $1 must be standard input, line for line.
expect_block() {
  if ! diff -u --label expected --label "report: $1" - <(block "$1") >&2; then
    fail "report: block \"$1\" is not as expected (above)"
  fi
}
# Standard input and the file $2 must hold the same lines, in any order.
expect_same_lines() {
  if ! diff -u --label expected --label "$1" <(sort) <(sort "$2") >&2; then
    fail "$1 is not as expected (above)"
  fi
}
size_now() { stat -c %s "$drive_c/$1"; }
size_before() { listed_size "$out/L0.before-recording" "$1"; }

# The catalogue block as "marker full-path size" per file and "marker
# full-path\" per directory; the dates are the run's own. A directory given
# as removed and as added is one whose date changed (NT and Wine date a
# directory anew whenever an entry is made or deleted in it): such pairs are
# set aside, and all other lines must be the installation's, all of it.
block 'Modifications au Catalogue de C:\' | awk '
  substr($0, 2, 1) == ":" { dir = $0; next }
  /^ [0-9]+ modifications$/ || /^ 1 modification$/ { next }
  /^[-+ >]/ {
    m = substr($0, 1, 1); t = substr($0, 2)
    if (t ~ /   REP$/) { sub(/   REP$/, "", t); print m " " dir t "\\"; next }
    t = substr(t, 1, length(t) - 17); size = t; sub(/.* /, "", size)
    sub(/ *[0-9]+$/, "", t); print m " " dir t " " size
    next
  }
  { print "? " $0 }' > "$out/catalogue.all"
awk '{ line[NR] = $0; seen[$0] = 1 }
     END {
       for (i = 1; i <= NR; i++) {
         l = line[i]; m = substr(l, 1, 1)
         other = (m == "-" ? "+" : "-") substr(l, 2)
         dated = (m == "-" || m == "+") && l ~ /\\$/ && (other in seen)
         print l > (dated ? "/dev/stderr" : "/dev/stdout")
       }
     }' "$out/catalogue.all" > "$out/catalogue.txt" 2> "$out/catalogue.dated"

gravelot='C:\Program Files\Gravelot'
expect_same_lines "report, catalogue of C:" "$out/catalogue.txt" <<EOF
  C:\AUTOEXEC.BAT $(size_before AUTOEXEC.BAT)
> C:\AUTOEXEC.BAT $(size_now AUTOEXEC.BAT)
+ C:\Program Files\Gravelot\\
+ $gravelot\bin\\
+ $gravelot\Données\\
+ $gravelot\Journaux\\
+ $gravelot\desinstaller.exe $(size_now 'Program Files/Gravelot/desinstaller.exe')
+ $gravelot\gravelot.exe 15
+ $gravelot\gravelot.ini $(size_now 'Program Files/Gravelot/gravelot.ini')
+ $gravelot\Notes de version.txt 42
+ $gravelot\bin\outils.dll 9
+ $gravelot\Données\Modèles\\
+ $gravelot\Données\index.dat 10
+ $gravelot\Données\Modèles\lettre.dot 19
  C:\windows\atelier.ini $(size_before windows/atelier.ini)
> C:\windows\atelier.ini $(size_now windows/atelier.ini)
  C:\windows\win.ini $(size_before windows/win.ini)
> C:\windows\win.ini $(size_now windows/win.ini)
+ C:\windows\system32\gravelot.dll 15
EOF
# Of the program's own directory, which holds its state files and reports,
# nothing but the new date of its entry in C:\Program Files.
if grep -Fi 'C:\Program Files\Pivalune\' "$out/report.txt" "$out/catalogue.txt"; then
  fail "report: lists the program's own directory (above)"
fi

expect_block 'Modifications dans C:\AUTOEXEC.BAT' <<'EOF'
+SET GRAVELOT=C:\PROGRA~1\GRAVELOT
 1 modification
EOF
expect_block 'Modifications dans C:\windows\win.ini' <<EOF
+[Gravelot]
+Dossier=$gravelot
+Version=2.1
 3 modifications
EOF
expect_block 'Modifications dans C:\windows\atelier.ini' <<EOF
[Général]
+Couleur=bleu
-Couleur=rouge
+Gravelot=oui
+[Gravelot]
+Modèles=$gravelot\Données\Modèles
 5 modifications
EOF
expect_block 'Modifications dans C:\windows\system.ini' <<'EOF'
 Aucune modification
EOF
# A profile that the reference state holds no copy of.
expect_block "$gravelot\\gravelot.ini" <<'EOF'
 Fichier nouveau, analyse impossible.
EOF

# The registry block as "+key", "-key" and "key | value line", without the
# count line. All of it must be the installation's: what Wine changes by
# itself under HKey_Local_Machine\System is left out by the comparison.
block 'Modifications dans Base de registres' | awk '
  substr($0, 2, 1) == "H" { m = substr($0, 1, 1); key = substr($0, 2) }
  /^ [0-9]+ modifications$/ || /^ 1 modification$/ { next }
  substr($0, 2, 1) == "H" { if (m != " ") print m key; next }
  { print key " | " $0 }' > "$out/registry-report.txt"
users=$(grep -o 'HKey_Users\\S-1-5-21-[0-9-]*' "$out/report.txt" | head -1)
[ -n "$users" ] || fail "report: no key of the current user under HKey_Users"
hklm='HKey_Local_Machine\Software'
hkcu="$users\\Software"
shared="$hklm\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs"
uninstall="$hklm\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Gravelot"
expect_same_lines "report, registry" "$out/registry-report.txt" <<EOF
+$hklm\Gravelot
$hklm\Gravelot | +@="Gravelot 2.1"
$hklm\Gravelot | +"Dossier"="$gravelot"
$hklm\Gravelot | +"Licence"=hex:47,A1,00,5E,FF
$hklm\Gravelot | +"Version"=dword:00020001
+$hklm\Gravelot\Modules
$hklm\Gravelot\Modules | +"Correcteur"="Français"
$shared | -"C:\windows\system32\commun.dll"=dword:00000001
$shared | +"C:\windows\system32\commun.dll"=dword:00000002
$shared | +"C:\windows\system32\gravelot.dll"=dword:00000001
+$uninstall
$uninstall | +"DisplayName"="Gravelot 2.1"
$uninstall | +"NoModify"=dword:00000001
$uninstall | +"UninstallString"=""$gravelot\desinstaller.exe""
$hkcu\Atelier | -"Ancienne"=dword:00000007
$hkcu\Atelier | +"Couleur"="bleu"
$hkcu\Atelier | -"Couleur"="rouge"
$hkcu\Atelier | +"Gravelot"="$gravelot"
-$hkcu\Atelier\Vieux
$hkcu\Atelier\Vieux | -@="Atelier 1.0"
$hkcu\Atelier\Vieux | -"Compteur"=dword:00000003
$hkcu\Atelier\Vieux | -"Motif"=hex:00,FF,10
$hkcu\Atelier\Vieux | -"Nom"="Atelier"
+$hkcu\Gravelot
+$hkcu\Gravelot\Préférences
$hkcu\Gravelot\Préférences | +"Démarrage"=dword:00000001
$hkcu\Gravelot\Préférences | +"Fenêtre"=hex:0A,00,0A,00,80,02,40,01
$hkcu\Gravelot\Préférences | +"Langue"="fr"
EOF

# ---------------------------------------------------------------------------
# The restore.

step "restore: pivalune.exe /RES"
pivalune /RES
log=$(setting Last)
[ -n "$log" ] && [ -f "$program_dir/$log" ] || die "/RES wrote no undo log (Last = \"$log\")"
[ "${log%.PV3}" != "$log" ] || fail "/RES: Last names \"$log\", not an undo log"
[ ! -f "$program_dir/${log%.PV3}.PV2" ] || fail "/RES: its report ${log%.PV3}.PV2 was not consumed"
[ "$(setting Bat)" = "$reference" ] || fail "/RES changed the reference state in Bat"
iconv -f CP1252 -t UTF-8 "$program_dir/$log" | tr -d '\r' > "$out/undo.txt"
echo "   undo log $log: $(wc -l < "$out/undo.txt") lines (out/undo.txt)"
if grep -E "ineffaçable|ajout impossible|Traitement interrompu|n'est pas vide|n'a pas été remplacé" \
    "$out/undo.txt"; then
  fail "undo log: something was not undone (above)"
fi
for line in ' 8 fichiers effacés' ' 5 répertoires supprimés' ' 1 modification commentée dans le fichier'; do
  grep -Fxq -- "$line" "$out/undo.txt" || fail "undo log: no line \"$line\""
done

step "listing of the machine after the restore (L3)"
list_prefix "$out/L3.after-restore"
list_registry "$out/registry.after"

# Everything as before the recording, but for the dates the installation
# moved and the rewritten files (see comparable).
expect_same_listing "the prefix after the restore differs from its listing before the recording" \
  "$out/L0.before-recording" "$out/L3.after-restore" restore
expect_same_registry "the registry differs from its export before the installation" \
  "$out/registry.before" "$out/registry.after"

# AUTOEXEC.BAT is rebuilt from the report: its former lines, in capitals
# and without the empty one, and the added line left as a comment after
# its note (CP1252, CR LF).
{
  printf '%s' "$autoexec_before" | tr -d '\r' | grep -v '^$' | tr 'a-z' 'A-Z'
  printf 'rem  La ligne suivante a \xe9t\xe9 annul\xe9e\nrem : SET GRAVELOT=C:\\PROGRA~1\\GRAVELOT\n'
} | sed 's/$/\r/' > "$out/AUTOEXEC.expected"
if ! cmp -s "$out/AUTOEXEC.expected" "$drive_c/AUTOEXEC.BAT"; then
  diff -u --label expected --label AUTOEXEC.BAT <(iconv -f CP1252 -t UTF-8 "$out/AUTOEXEC.expected") \
    <(iconv -f CP1252 -t UTF-8 "$drive_c/AUTOEXEC.BAT") >&2 || true
  fail "AUTOEXEC.BAT was not rebuilt to its former lines"
fi

step "done: $failures failure(s)"
[ "$failures" -eq 0 ] || die "FAILED, see $work"
# The prefix (some 700 MB) is kept only when something failed.
cleanup
rm -rf "$WINEPREFIX"
echo "undo-e2e: the restore took back every change of the installation"
