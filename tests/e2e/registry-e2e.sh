#!/bin/bash
# The registry from end to end, as a user runs the program from the command
# line, in a fresh Wine prefix of its own:
#  - an idle machine recorded twice a minute apart, and again after a new
#    wineserver session, compares with no registry change at all;
#  - values of every type written into new and existing keys (Path in the
#    environment too), others changed and deleted: /COM reports each in its
#    form, and /RES puts every one back, types included (`reg export` of the
#    trees equal their export before);
#  - the scripts /REG writes from the report: imported with `regedit /S`,
#    the undo script gives the exports before the changes, the redo script
#    the exports after them.
#
# Usage: registry-e2e.sh <pivalune.exe> <work directory>
set -eu
program=$1
work=$2
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../tools/wine-env.sh"

[ -f "$program" ] || { echo "registry-e2e: $program is missing" >&2; exit 1; }
rm -rf "$work"
mkdir -p "$work/out"
use_own_prefix "$work"
export LC_ALL=C.UTF-8
unset DISPLAY
out=$work/out
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
die() { echo "registry-e2e: $*" >&2; exit 1; }
cleanup() { wineserver -k 2>/dev/null || true; }
trap cleanup EXIT
trap 'exit 130' INT TERM HUP
started=$(date +%s)
step() { echo "== [$(( $(date +%s) - started )) s] $*"; }
run() { timeout 300 "$wine" "$@" </dev/null; }

step "prefix $WINEPREFIX"
wineserver -p60
run wineboot --init >/dev/null 2>&1
# The first session of a prefix goes on setting the machine up by itself
# (the network cards, some 30 s in): recordings start in the second.
wineserver -k
wineserver -w
wineserver -p60
run cmd /c exit >/dev/null 2>&1

install_program "$program"
program_dir="$WINEPREFIX/drive_c/Program Files/Pivalune"
settings='HKCU\Software\Ostralec\Pivalune'
run reg add "$settings" /v Drives /t REG_SZ /d "" /f >/dev/null
run reg add "$settings" /v Type /t REG_SZ /d R /f >/dev/null

pivalune() { (cd "$program_dir" && run "$install_dir\\pivalune.exe" "$@"); }
setting() {
  run reg query "$settings" /v "$1" 2>/dev/null | tr -d '\r' |
    awk -v n="$1" '$1 == n { sub(/^ *[^ ]+ +[^ ]+ */, ""); print }'
}
# The lines of the registry block of the report named by Last.
registry_block() {
  iconv -f CP1252 -t UTF-8 "$program_dir/$(setting Last)" | tr -d '\r' |
    awk '$0 == "Modifications dans Base de registres" { on = 1; next } on && $0 == "" { exit } on'
}

# ---------------------------------------------------------------------------
step "an idle machine, recorded a minute apart"
pivalune /ENR
reference=$(setting Bat)
[ ${#reference} -eq 7 ] || die "/ENR named no reference (\"$reference\")"
sleep 60
pivalune /COM
block=$(registry_block)
[ "$block" = " Aucune modification" ] || { echo "$block" >&2; fail "idle: the registry changed by itself (above)"; }
step "and again in a new wineserver session"
wineserver -k
wineserver -w
wineserver -p60
run cmd /c exit >/dev/null 2>&1
pivalune /COM
block=$(registry_block)
[ "$block" = " Aucune modification" ] || { echo "$block" >&2; fail "new session: the registry changed by itself (above)"; }

# ---------------------------------------------------------------------------
# What the machine holds before: keys and values the changes change and
# delete, in each type.
cat > "$out/existing.reg" <<'EOF'
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Software\PvExistant]
"Garde"="reste"
"Change"="avant"
"Efface"=dword:00000007
"Type"="%TEMP%"

[HKEY_LOCAL_MACHINE\Software\PvExistant\Efface]
"Multi"=hex(7):61,00,00,00,62,00,00,00,00,00
"Gros"=hex(b):08,07,06,05,04,03,02,01

[HKEY_CURRENT_USER\Software\PvUtilisateur]
"Couleur"="bleu"
EOF
to_utf16() { iconv -f UTF-8 -t UTF-16LE "$1" | { printf '\xff\xfe'; cat; } > "$1.utf16"; }
to_utf16 "$out/existing.reg"
run regedit /S "$(winepath -w "$out/existing.reg.utf16" 2>/dev/null)"

environment='HKLM\System\CurrentControlSet\Control\Session Manager\Environment'
# The trees the changes write into, as `reg export` gives them (types
# included), without the program's own settings key.
exports() {
  local tree file=$out/export.reg i=0
  : > "$1"
  for tree in 'HKLM\Software' "$environment" 'HKCU'; do
    run reg export "$tree" "$(winepath -w "$file" 2>/dev/null)" /y >/dev/null || die "reg export $tree failed"
    iconv -f UTF-16LE -t UTF-8 "$file" | tr -d '\r' | sed '1s/^\xef\xbb\xbf//' |
      awk '/^\[/ { skip = index($0, "[HKEY_CURRENT_USER\\Software\\Ostralec\\Pivalune") == 1 }
           !skip' >> "$1"
    rm -f "$file"
  done
}
same_exports() {
  if ! diff -u --label "$2" --label "$3" "$out/$2" "$out/$3" >&2; then fail "$1 (above)"; fi
}

step "exports before the changes"
exports "$out/before"
pivalune /ENR
reference=$(setting Bat)

step "changes: every type, in new and existing keys"
cat > "$out/changes.reg" <<'EOF'
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Software\PvTypes]
"Texte"="un texte"
"Chemin"=hex(2):25,00,50,00,72,00,6f,00,67,00,72,00,61,00,6d,00,46,00,69,00,6c,00,65,00,73,00,25,00,00,00
"Liste"=hex(7):61,00,00,00,00,00,62,00,00,00,00,00
"Gros"=hex(b):01,00,00,00,02,00,00,00
"Octets"=hex:01,ab,ff
"Nombre"=dword:0000002a
"Rien"=hex(0):
"Ordre"=hex(5):00,00,00,2a
"Ressources"=hex(8):01,02,03
"nom=avec"="égal"
"Lignes"=hex(1):61,00,0d,00,0a,00,62,00,00,00
"Ωmega"="π"
@="défaut"

[HKEY_LOCAL_MACHINE\Software\PvTypes\Sous]
"Vide"=""

[HKEY_LOCAL_MACHINE\Software\PvExistant]
"Change"="après"
"Efface"=-
"Type"=hex(2):25,00,54,00,45,00,4d,00,50,00,25,00,00,00
"Nouveau"=hex(b):ff,00,00,00,00,00,00,00

[-HKEY_LOCAL_MACHINE\Software\PvExistant\Efface]

[HKEY_CURRENT_USER\Software\PvUtilisateur]
"Couleur"="vert"
"Ajout"=hex(7):78,00,00,00,00,00
EOF
to_utf16 "$out/changes.reg"
run regedit /S "$(winepath -w "$out/changes.reg.utf16" 2>/dev/null)"
path=$(run reg query "$environment" /v Path | tr -d '\r' | awk '$1 == "Path" { sub(/^ *[^ ]+ +[^ ]+ */, ""); print }')
[ -n "$path" ] || die "no Path in the environment"
run reg add "$environment" /v Path /t REG_EXPAND_SZ /d "$path;C:\\PvE2E\\bin" /f >/dev/null
exports "$out/changed"

step "comparison: /COM"
pivalune /COM
report=$(setting Last)
registry_block > "$out/registry.txt"
for line in \
  '+HKey_Local_Machine\Software\PvTypes' \
  '+"Texte"="un texte"' \
  '+"Chemin"=expand:"%ProgramFiles%"' \
  '+"Liste"=multi:"a","","b"' \
  '+"Gros"=qword:0000000200000001' \
  '+"Octets"=hex:01,AB,FF' \
  '+"Nombre"=dword:0000002A' \
  '+"Rien"=hex(0):' \
  '+"Ordre"=hex(5):00,00,00,2A' \
  '+"Ressources"=hex(8):01,02,03' \
  '+"nom=avec"="égal"' \
  '+"Lignes"=%"a%0D%0Ab"' \
  '+%"%u03A9mega"=%"%u03C0"' \
  '+@="défaut"' \
  '-"Change"="avant"' \
  '+"Change"="après"' \
  '-"Efface"=dword:00000007' \
  '-"Type"="%TEMP%"' \
  '+"Type"=expand:"%TEMP%"' \
  '-HKey_Local_Machine\Software\PvExistant\Efface' \
  '-"Multi"=multi:"a","b"' \
  '+"Ajout"=multi:"x"'; do
  grep -Fxq -- "$line" "$out/registry.txt" || fail "report: no line $line"
done
# Wine names the value PATH.
grep -Fxiq -- "+\"Path\"=expand:\"$path;C:\\PvE2E\\bin\"" "$out/registry.txt" ||
  fail "report: no line for the new Path"
if grep -E '^[-+ ]HKey_Local_Machine\\System' "$out/registry.txt" | grep -v 'Session Manager\\Environment$'; then
  fail "report: keys Wine changes by itself under HKLM\\System (above)"
fi

step "the registry scripts of the report: /REG $report"
pivalune /REG "$report"
base=${report%%.*}
undo_script="$program_dir/${base}A.REG" redo_script="$program_dir/${base}R.REG"
[ -f "$undo_script" ] && [ -f "$redo_script" ] || die "/REG wrote no scripts beside $report"
run regedit /S "$install_dir\\${base}A.REG"
exports "$out/undone-by-script"
same_exports "the undo script does not give the registry back" before undone-by-script
run regedit /S "$install_dir\\${base}R.REG"
exports "$out/redone-by-script"
# REGEDIT4 is CP1252: a name of other characters cannot stand in it. The
# script says so in a comment, and that value is the one it cannot make.
grep -aFq '; %"%u03A9mega"=%"%u03C0" : valeur impossible' "$redo_script" ||
  fail "the redo script does not say which value it cannot write"
grep -vFx '"Ωmega"="π"' "$out/changed" > "$out/changed-in-cp1252"
same_exports "the redo script does not make the changes again" changed-in-cp1252 redone-by-script

step "restore: /RES"
pivalune /RES
exports "$out/restored"
same_exports "/RES does not give the registry back" before restored
iconv -f CP1252 -t UTF-8 "$program_dir/$(setting Last)" | tr -d '\r' > "$out/undo.txt"
if grep -E "ineffaçable|ajout impossible|Traitement interrompu|Rien n'a été modifié" "$out/undo.txt"; then
  fail "undo log: something was not undone (above)"
fi

step "done: $failures failure(s)"
[ "$failures" -eq 0 ] || die "FAILED, see $work"
cleanup
rm -rf "$WINEPREFIX"
echo "registry-e2e: every value went back with its type"
