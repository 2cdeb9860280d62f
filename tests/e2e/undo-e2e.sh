#!/bin/bash
# The undo from end to end, as a user runs it from the command line: in a
# fresh Wine prefix of its own, with pivalune.exe installed on C:,
#   pivalune.exe /ENR       records the reference state,
#   gravelot-setup.exe /S   a real installer (gravelot-setup.nsi) changes the machine,
#   pivalune.exe /COM       must report every change of the installer, and only those,
#   pivalune.exe /RES       must take them all back.
# What the machine holds before the installation and after /RES is listed
# independently of the program (find over drive_c with contents hashes,
# `reg export` of the registry trees the installer writes into) and
# compared. Any difference fails the test; the prefix's wineserver is
# stopped on every path.
#
# Usage: undo-e2e.sh <pivalune.exe> <work directory>
set -eu
program=$1
work=$2
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../tools/wine-env.sh"

[ -f "$program" ] || { echo "undo-e2e: $program is missing" >&2; exit 1; }
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

step "reference state: pivalune.exe /ENR"
pivalune /ENR
reference=$(setting Bat)
[ ${#reference} -eq 7 ] || die "/ENR named no reference state in Bat (\"$reference\")"
[ -f "$program_dir/$reference.000" ] || die "/ENR wrote no index $reference.000"

# ---------------------------------------------------------------------------
# Listings of the machine made without the program.

# drive_c: one line per entry, "d path", "l path -> target" or
# "f path size mtime sha256". Left out, as not the installation's:
#  - the program's own directory, which holds its state files and reports;
#  - the contents of the user's Temp folder, where NSIS unpacks its plug-ins
#    and which it empties again;
#  - the dates of directories: NT and Wine date a directory anew whenever
#    an entry is made or deleted in it, and no undo dates it back;
#  - the dates of the files that the installer changes and the restore
#    rewrites in place (REWRITTEN): their contents count.
REWRITTEN="./AUTOEXEC.BAT ./windows/win.ini ./windows/atelier.ini"
list_drive_c() {
  (
    cd "$drive_c"
    find . \( -path './Program Files/Pivalune' -o -path "./users/$user/Temp" \) -prune \
      -o -type f -print0 | sort -z | xargs -0 -r sha256sum > "$1.hashes"
    find . \( -path './Program Files/Pivalune' -o -path "./users/$user/Temp/*" \) -prune \
      -o -type d -printf 'd %p\n' -o -type l -printf 'l %p -> %l\n' \
      -o -type f -printf 'f %p %s %T@\n' | sort > "$1.entries"
  )
  awk -v rewritten="$REWRITTEN" '
    BEGIN { n = split(rewritten, r, " "); for (i = 1; i <= n; i++) keepsNoDate[r[i]] = 1 }
    FNR == NR { hash[substr($0, 67)] = $1; next }
    $1 == "f" {
      mtime = $NF; size = $(NF - 1)
      path = $0; sub(/^f /, "", path); sub(/ [^ ]+ [^ ]+$/, "", path)
      print "f " path " " size " " (path in keepsNoDate ? "-" : mtime) " " hash[path]
      next
    }
    { print }' "$1.hashes" "$1.entries" > "$1"
  rm -f "$1.hashes" "$1.entries"
}
# The size of a file in the listing $1.
listed_size() { awk -v p="./$2" '$1 == "f" && index($0, "f " p " ") == 1 { print $(NF - 2) }' "$1"; }

# The registry trees the installer writes into, as `reg export` gives them
# (UTF-16 turned into UTF-8, CR LF into LF), without the program's own
# settings key, which every run of the command line rewrites (Bat, Pred,
# Succ, Last). HKLM\System is left out: Wine changes it by itself in every
# session (a new display-device key, the devices' "Linked" values).
list_registry() {
  local tree file=$out/export.reg
  : > "$1"
  for tree in 'HKLM\Software' 'HKCU'; do
    run reg export "$tree" "$(winepath -w "$file" 2>/dev/null)" /y >/dev/null ||
      die "reg export $tree failed"
    iconv -f UTF-16LE -t UTF-8 "$file" | tr -d '\r' | sed '1s/^\xef\xbb\xbf//' |
      awk '/^\[/ { skip = index($0, "[HKEY_CURRENT_USER\\Software\\Ostralec\\Pivalune") == 1 }
           !skip' >> "$1"
    rm -f "$file"
  done
}

step "listing of the machine before the installation"
list_drive_c "$out/drive_c.before"
list_registry "$out/registry.before"
grep -Fq '[HKEY_CURRENT_USER\Software\Atelier\Vieux]' "$out/registry.before" ||
  die "the registry listing misses the prepared keys"

step "installation: gravelot-setup.exe /S"
run "$work/gravelot-setup.exe" /S
[ -f "$drive_c/Program Files/Gravelot/Données/Modèles/lettre.dot" ] ||
  die "the installer did not install (no lettre.dot)"
grep -q GRAVELOT "$drive_c/AUTOEXEC.BAT" || die "the installer did not change AUTOEXEC.BAT"

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
size_before() { listed_size "$out/drive_c.before" "$1"; }

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
[Gravelot]
+Dossier=$gravelot
+Version=2.1
 2 modifications
EOF
expect_block 'Modifications dans C:\windows\atelier.ini' <<EOF
[Général]
+Couleur=bleu
-Couleur=rouge
+Gravelot=oui
[Gravelot]
+Modèles=$gravelot\Données\Modèles
 4 modifications
EOF
expect_block 'Modifications dans C:\windows\system.ini' <<'EOF'
 Aucune modification
EOF
# A profile that the reference state holds no copy of.
expect_block "$gravelot\\gravelot.ini" <<'EOF'
 Fichier nouveau, analyse impossible.
EOF

# The registry block as "+key", "-key" and "key | value line", without the
# count line and without HKey_Local_Machine\System (see list_registry).
# The rest must be the installation's, all of it.
block 'Modifications dans Base de registres' | awk '
  substr($0, 2, 1) == "H" { m = substr($0, 1, 1); key = substr($0, 2) }
  index(key, "HKey_Local_Machine\\System\\") == 1 { next }
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

step "listing of the machine after the restore"
list_drive_c "$out/drive_c.after"
list_registry "$out/registry.after"

# Everything as before, AUTOEXEC.BAT apart (below).
grep -v '^f ./AUTOEXEC.BAT ' "$out/drive_c.before" > "$out/drive_c.before.cmp"
grep -v '^f ./AUTOEXEC.BAT ' "$out/drive_c.after" > "$out/drive_c.after.cmp"
if ! diff -u "$out/drive_c.before.cmp" "$out/drive_c.after.cmp" > "$out/drive_c.diff"; then
  cat "$out/drive_c.diff" >&2
  fail "drive C: differs from its listing before the installation (above)"
fi
if ! diff -u "$out/registry.before" "$out/registry.after" > "$out/registry.diff"; then
  cat "$out/registry.diff" >&2
  fail "the registry differs from its export before the installation (above)"
fi

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
