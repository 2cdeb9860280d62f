#!/bin/bash
# A recording stopped by a full disk, as a user meets it from the command
# line: the program lives on a small disk (a tmpfs linked as a drive
# letter), records a drive of a few hundred files (a fixture directory
# linked as another letter, the only drive of the settings, its .INI files
# the only type), and the disk is filled beforehand so that the room left
# runs out in the middle of the catalogue.
#   A  /ENR without a reference: exit code 2, the disk-error text on the
#      standard error, and no state left behind (nothing in the program's
#      folder but the program), the setting Bat empty.
#   B  a valid reference first, then the disk filled again: /COM and /RES
#      end the same way, and leave the reference, the settings Bat and
#      Last, the recorded drive and the program's folder as they were (no
#      report, no undo log, no member of the interrupted state).
# Runs as root (mount). In the test run (tests/run-tests.sh: PV_TEST_RUN)
# it uses the run's prefix and wineserver, otherwise a prefix of its own.
# The disk is unmounted, the drive links and the settings key removed on
# every way out, a kill included.
#
# Usage: full-disk.sh <pivalune.exe> <work directory>
set -eu
program=$1
work=$2
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../tools/wine-env.sh"

fail_now() { echo "full-disk: $*" >&2; exit 1; }
[ -f "$program" ] || fail_now "$program is missing"
[ "$(id -u)" -eq 0 ] || fail_now "mounting the small disk needs root; this runs as $(id -un)"
command -v iconv >/dev/null || fail_now "iconv is missing"

export LC_ALL=C.UTF-8
unset DISPLAY                     # the command line needs no display

# A mount of an earlier run that was killed outright (see the watcher).
if [ -d "$work" ]; then
  findmnt -rn -o TARGET | awk -v w="$work/" 'index($0, w) == 1' | while read -r target; do
    umount "$target" 2>/dev/null || umount -l "$target"
  done
fi
rm -rf "$work"
mkdir -p "$work/out"
out=$work/out

own_server=""
if [ -n "${PV_TEST_RUN:-}" ]; then
  # The test run's prefix, home and trash (tests/run-tests.sh), never the user's.
  [ "${WINEPREFIX:-}" = "$PV_TEST_RUN/prefix" ] ||
    fail_now "WINEPREFIX (${WINEPREFIX:-unset}) is not the test run's prefix $PV_TEST_RUN/prefix"
  [ -d "$WINEPREFIX/dosdevices" ] || fail_now "the test run's prefix $WINEPREFIX is not made"
else
  use_own_prefix "$work"
  own_server=1
fi
export WINEDEBUG=-all

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

started=$(date +%s)
step() { echo "== [$(( $(date +%s) - started )) s] $*"; }

# A Windows program of the prefix, bounded in time, without input.
run() { timeout 120 "$wine" "$@" </dev/null; }

# Free letters: the recorded drive among those the program takes for fixed
# disks (C to L), the program's disk elsewhere.
free_letter() {
  local l
  for l in "$@"; do
    [ -e "$WINEPREFIX/dosdevices/$l:" ] || [ -L "$WINEPREFIX/dosdevices/$l:" ] || { echo "$l"; return; }
  done
  fail_now "no free drive letter among $*"
}

mnt=$work/disk.$$
fixture=$work/fixture
settings='HKCU\Software\Ostralec\Pivalune'
disk_link="" fixture_link="" mounted="" watcher=""

cleanup() {
  local status=$?
  set +e
  [ -z "$watcher" ] || kill "$watcher" 2>/dev/null
  if [ -n "$mounted" ]; then
    rm -f "$mnt/filler"
    # A program stopped by the timeout may still hold a file of the disk:
    # the lazy unmount detaches the disk all the same.
    umount "$mnt" 2>/dev/null || umount -l "$mnt" ||
      echo "full-disk: could not unmount $mnt" >&2
  fi
  [ -z "$disk_link" ] || rm -f "$disk_link"
  [ -z "$fixture_link" ] || rm -f "$fixture_link"
  timeout 60 "$wine" reg delete "$settings" /f </dev/null >/dev/null 2>&1
  [ -z "$own_server" ] || wineserver -k 2>/dev/null
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

if [ -n "$own_server" ]; then
  step "prefix $WINEPREFIX"
  wineserver -p60
  run wineboot --init >/dev/null 2>&1
fi

# ---------------------------------------------------------------------------
# The drives.

disk_letter=$(free_letter P Q R S T U V W X Y)
fixture_letter=$(free_letter G H I J K L)
disk_link=$WINEPREFIX/dosdevices/${disk_letter,,}:
fixture_link=$WINEPREFIX/dosdevices/${fixture_letter,,}:

# A drive of 800 files with long names (catalogue lines of about 100
# characters: a catalogue of some 80 KB), and two profiles that the
# recording copies.
mkdir -p "$fixture"
for d in 1 2 3 4 5 6 7 8; do
  dir="$fixture/Dossier de travail numéro $d du service comptable"
  mkdir -p "$dir"
  for f in $(seq 100); do
    printf 'pièce %d.%d\r\n' "$d" "$f" > "$dir/Pièce justificative de la facture du fournisseur principal, exercice 1998, lot $d-$f.txt"
  done
done
printf '[Comptes]\r\nExercice=1998\r\n' > "$fixture/COMPTES.INI"
printf '[Journal]\r\nOuvert=oui\r\n' > "$fixture/Dossier de travail numéro 1 du service comptable/journal.ini"

program_size=$(stat -c %s "$program")
page=4096
# The program, the reference state (some 90 KB) and the room to be left,
# with a margin; the filler takes whatever the test does not leave free.
disk_size=$(( (program_size + page - 1) / page * page + 1024 * 1024 ))
room=$((16 * 1024))

step "disk: tmpfs of $disk_size bytes on $disk_letter:, the recorded drive $fixture_letter:"
mkdir -p "$mnt"
mount -t tmpfs -o "size=$disk_size,mode=0755" tmpfs "$mnt" ||
  fail_now "cannot mount a tmpfs on $mnt (mount -t tmpfs needs root and a kernel that allows it)"
mounted=1
# Should this script be killed outright (SIGKILL: no trap runs), a watcher
# in a session of its own unmounts the disk and removes the links once the
# script is gone; they are this run's own (the mount point holds the
# script's process number), never those of a later run.
setsid bash -c '
  while kill -0 "$1" 2>/dev/null; do sleep 1; done
  umount -l "$2" 2>/dev/null
  [ "$(readlink "$3")" != "$2" ] || rm -f "$3"
  [ "$(readlink "$4")" != "$5" ] || rm -f "$4"' \
  watcher $$ "$mnt" "$disk_link" "$fixture_link" "$fixture" </dev/null >/dev/null 2>&1 &
watcher=$!

ln -s "$mnt" "$disk_link"
ln -s "$fixture" "$fixture_link"
prog_dir=$mnt/PIVALUNE
mkdir "$prog_dir"
cp "$program" "$prog_dir/pivalune.exe"
exe="$disk_letter:\\PIVALUNE\\pivalune.exe"

run reg delete "$settings" /f >/dev/null 2>&1 || true
run reg add "$settings" /v Drives /t REG_SZ /d "$fixture_letter" /f >/dev/null
run reg add "$settings" /v Type /t REG_SZ /d I /f >/dev/null

setting() {
  run reg query "$settings" /v "$1" 2>/dev/null | tr -d '\r' |
    awk -v n="$1" '$1 == n { sub(/^ *[^ ]+ +[^ ]+ */, ""); print }'
}
free_bytes() { df --output=avail -B1 "$mnt" | tail -1 | tr -d ' '; }

# Leaves $room bytes free on the disk (tmpfs counts in pages).
fill_disk() {
  rm -f "$mnt/filler"
  local free; free=$(free_bytes)
  [ "$free" -gt "$room" ] || fail_now "only $free bytes free on the disk before filling it"
  head -c $((free - room)) /dev/zero > "$mnt/filler"
  free=$(free_bytes)
  [ "$free" -ge "$room" ] && [ "$free" -lt $((room + page)) ] ||
    fail_now "the disk has $free bytes free after filling, not $room"
}

# Runs the program with the command line $@, without a display, from
# outside its disk; $name.stderr holds its standard error in UTF-8, $rc
# its exit code.
pivalune() {
  local name=$1; shift
  rc=0
  (cd "$work" && env -u DISPLAY timeout 120 "$wine" "$exe" "$@" </dev/null \
    >"$out/$name.stdout" 2>"$out/$name.stderr.cp1252") || rc=$?
  iconv -c -f CP1252 -t UTF-8 "$out/$name.stderr.cp1252" > "$out/$name.stderr" || true
  echo "   pivalune.exe $* : exit code $rc"
}

disk_error="Il n'y a plus de place sur le disque."
# The run $1 ended on the full disk: exit code 2 and the disk-error text.
expect_disk_error() {
  [ "$rc" -eq 2 ] || fail "$1: exit code $rc, not 2 (disk error)"
  if ! grep -Fq "$disk_error" "$out/$1.stderr"; then
    fail "$1: the standard error lacks \"$disk_error\"; it holds:"
    sed 's/^/     /' "$out/$1.stderr" >&2
  fi
}
# The files of the program's folder, one a line, sorted.
program_files() { (cd "$prog_dir" && LC_ALL=C ls -A); }
# The program's folder must hold exactly the files of standard input.
expect_program_files() {
  if ! diff -u --label expected --label "$prog_dir" <(LC_ALL=C sort) <(program_files) \
      > "$out/files.diff"; then
    cat "$out/files.diff" >&2
    sed -n 's/^+\([^+].*\)$/\1/p' "$out/files.diff" | while read -r f; do
      echo "   left behind: $f, $(stat -c %s "$prog_dir/$f") bytes" >&2
    done
    fail "$1: the program's folder holds other files than expected (above)"
  fi
}
# The next step starts from the program and the reference alone, whatever
# this one left behind.
clear_program_folder() {
  (cd "$prog_dir" && LC_ALL=C ls -A) | while read -r f; do
    [ "$f" = pivalune.exe ] || grep -Fxq -- "$f" "$out/reference.files" || rm -f "$prog_dir/$f"
  done
}

# ---------------------------------------------------------------------------
step "A: /ENR with $room bytes left on the disk"
fill_disk
pivalune A /ENR
expect_disk_error A
expect_program_files "A (/ENR)" <<< "pivalune.exe"
[ -z "$(setting Bat)" ] || fail "A (/ENR): Bat names \"$(setting Bat)\" after a failed recording"
: > "$out/reference.files"
clear_program_folder

# ---------------------------------------------------------------------------
step "B: a reference recorded with room enough"
rm -f "$mnt/filler"
pivalune B-reference /ENR
[ "$rc" -eq 0 ] || fail_now "B: /ENR with room enough ended with exit code $rc: $(cat "$out/B-reference.stderr")"
reference=$(setting Bat)
[ ${#reference} -eq 7 ] || fail_now "B: /ENR named no reference state in Bat (\"$reference\")"
[ -f "$prog_dir/$reference.000" ] || fail_now "B: /ENR wrote no index $reference.000"
catalogue_size=$(stat -c %s "$prog_dir/$reference.001")
echo "   reference $reference: $(cd "$prog_dir" && ls "$reference".* | tr '\n' ' '), catalogue $catalogue_size bytes"
# Otherwise the next recording would not be stopped in its catalogue.
[ "$catalogue_size" -gt $((4 * room)) ] ||
  fail_now "B: the catalogue ($catalogue_size bytes) is too small for the room left ($room)"
mkdir "$work/reference"
cp -p "$prog_dir/$reference".* "$work/reference/"
(cd "$work/reference" && LC_ALL=C ls -A) > "$out/reference.files"
last_before=$(setting Last)

# What a restore would take back: a file that the reference does not hold.
added="$fixture/Dossier de travail numéro 2 du service comptable/Ajouté après la référence.txt"
printf 'nouveau\r\n' > "$added"

# The reference must stay as it was, byte for byte, and stay the reference.
expect_reference_intact() {
  local f
  while read -r f; do
    cmp -s "$work/reference/$f" "$prog_dir/$f" || fail "$1: the reference's file $f changed or is gone"
  done < "$out/reference.files"
  [ "$(setting Bat)" = "$reference" ] || fail "$1: Bat names \"$(setting Bat)\", not the reference $reference"
}

step "B: /COM with $room bytes left on the disk"
fill_disk
pivalune B-COM /COM
expect_disk_error B-COM
# No new state (index or member), no report, no temporary file.
expect_program_files "B (/COM)" < <(echo pivalune.exe; cat "$out/reference.files")
[ "$(setting Last)" = "$last_before" ] ||
  fail "B (/COM): Last names \"$(setting Last)\", not \"$last_before\" as before"
expect_reference_intact "B (/COM)"
clear_program_folder

step "B: /RES with $room bytes left on the disk"
fill_disk
pivalune B-RES /RES
expect_disk_error B-RES
[ -f "$added" ] || fail "B (/RES): the file added after the reference was deleted: $added"
# No new state, no report (.PV2), no undo log (.PV3).
expect_program_files "B (/RES)" < <(echo pivalune.exe; cat "$out/reference.files")
[ "$(setting Last)" = "$last_before" ] ||
  fail "B (/RES): Last names \"$(setting Last)\", not \"$last_before\" as before"
expect_reference_intact "B (/RES)"

step "done: $failures failure(s)"
[ "$failures" -eq 0 ] || fail_now "FAILED, see $work"
echo "full-disk: a recording stopped by a full disk left nothing behind"
