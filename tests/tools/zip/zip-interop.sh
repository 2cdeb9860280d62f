#!/bin/bash
# The ZIP libraries against two independent readers and writers: Info-ZIP's
# unzip and Python's zipfile (Debian's own /usr/bin/python3).
#   A  archives the DLLs write, deflated with directory names and stored
#      without them, pass "unzip -t", and zipfile finds every name
#      (accented ones too), size, date, CRC, method and byte; unzip
#      extracts the same tree again.
#   B  archives zipfile writes (stored and deflated entries, UTF-8 names,
#      an IBM 437 name without the UTF-8 flag, a directory entry, and a
#      streamed archive with data descriptors) list, test and extract
#      right through the DLLs, and stay readable by both after the DLLs
#      deleted an entry from them.
# zip_tool.exe drives the DLLs; it runs under Wine beside copies of them,
# loading them by name as the program does. In the test run
# (tests/run-tests.sh: PV_TEST_RUN) it uses the run's prefix, otherwise a
# prefix of its own.
#
# Usage: zip-interop.sh <zip_tool.exe> <PVZIP.DLL> <PVUNZIP.DLL> <work directory>
set -eu
tool=$1
work=$4
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../../tools/wine-env.sh"

fail_now() { echo "zip-interop: $*" >&2; exit 1; }
python=/usr/bin/python3
for program in unzip iconv "$python"; do
  command -v "$program" >/dev/null || fail_now "$program is missing (tools/deps.sh installs it)"
done

export LC_ALL=C.UTF-8
export TZ=UTC                     # the DOS dates of the entries are local times
unset DISPLAY
rm -rf "$work"
mkdir -p "$work/bin" "$work/out"
cp "$tool" "$work/bin/zip_tool.exe"
cp "$2" "$work/bin/PVZIP.DLL"
cp "$3" "$work/bin/PVUNZIP.DLL"

own_server=""
if [ -n "${PV_TEST_RUN:-}" ]; then
  [ "${WINEPREFIX:-}" = "$PV_TEST_RUN/prefix" ] ||
    fail_now "WINEPREFIX (${WINEPREFIX:-unset}) is not the test run's prefix $PV_TEST_RUN/prefix"
else
  use_own_prefix "$work"
  own_server=1
fi
export WINEDEBUG=-all
cleanup() {
  local status=$?
  [ -z "$own_server" ] || wineserver -k 2>/dev/null || true
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP
if [ -n "$own_server" ]; then
  wineserver -p60
  timeout 120 "$wine" wineboot --init </dev/null >/dev/null 2>&1
fi

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

winpath() { local p=${1//\//\\}; echo "Z:$p"; }

# zip_tool NAME ARGS...: runs the helper from the current directory; its
# output, in UTF-8, is in $work/out/NAME; $rc its exit code, $count the
# number of files the DLL processed, $names the names it announced.
zip_tool() {
  local name=$1; shift
  rc=0
  timeout 120 "$wine" "$work/bin/zip_tool.exe" "$@" </dev/null >"$work/out/$name.cp1252" 2>&1 || rc=$?
  iconv -f CP1252 -t UTF-8 "$work/out/$name.cp1252" | tr -d '\r' >"$work/out/$name"
  count=$(awk -F'\t' '$1 == "count" { print $2 }' "$work/out/$name")
  names=$(awk -F'\t' '$1 == "file" { print $3 }' "$work/out/$name" | LC_ALL=C sort)
}
expect_run() {  # expect_run NAME COUNT
  [ "$rc" -eq 0 ] || fail "$1: exit code $rc: $(grep message "$work/out/$1" | head -5)"
  [ "${count:-}" = "$2" ] || fail "$1: $count files processed, not $2"
}
sorted() { printf '%s\n' "$@" | LC_ALL=C sort; }

# ---------------------------------------------------------------------------
# The files: repetitive text, bytes that do not compress, an accented name,
# an empty file, a file two directories down; a fixed date (even seconds).
src=$work/src
mkdir -p "$src/sous/dossier"
for i in $(seq 2000); do printf 'Ligne %d du fichier de configuration\r\n' $((i % 40)); done >"$src/texte.txt"
"$python" -c 'import random, sys; sys.stdout.buffer.write(random.Random(7).randbytes(60000))' >"$src/aléa.bin"
printf 'chaleur\r\n' >"$src/été.txt"
: >"$src/vide.txt"
printf 'profond\r\n' >"$src/sous/dossier/profond.txt"
find "$src" -type f -exec touch -d '1998-12-05 14:03:06' {} +

# check_archive ARCHIVE METHOD NAME=FILE...: zipfile's view of an archive
# must be exactly these entries, each with the file's bytes, size, date
# and CRC, stored (0) or deflated (8), and the whole archive must test.
check_archive() {
  "$python" - "$@" <<'EOF'
import os, sys, time, zipfile, zlib
archive, method, pairs = sys.argv[1], int(sys.argv[2]), sys.argv[3:]
expected = dict(p.split("=", 1) for p in pairs)
problems = []
with zipfile.ZipFile(archive) as z:
    if z.testzip() is not None:
        problems.append("testzip: " + z.testzip())
    found = {i.filename: i for i in z.infolist()}
    if sorted(found) != sorted(expected):
        problems.append("names %s, expected %s" % (sorted(found), sorted(expected)))
    for name, path in expected.items():
        info = found.get(name)
        if info is None:
            continue
        data = open(path, "rb").read()
        mtime = time.localtime(os.path.getmtime(path))[:6]
        checks = {"bytes": z.read(name) == data, "size": info.file_size == len(data),
                  "crc": info.CRC == zlib.crc32(data), "method": info.compress_type == method,
                  "date": info.date_time == mtime,
                  "utf-8 flag": bool(info.flag_bits & 0x800) == (not name.isascii())}
        problems += ["%s: %s" % (name, what) for what, ok in checks.items() if not ok]
for p in problems:
    print(p)
sys.exit(1 if problems else 0)
EOF
}

# ---------------------------------------------------------------------------
echo "== A: archives written by the DLLs"
cd "$src"
zip_tool A-deflated add "$(winpath "$work/deflated.zip")" --dirs --recurse '*'
expect_run A-deflated 5
[ "$names" = "$(sorted aléa.bin sous/dossier/profond.txt texte.txt vide.txt été.txt)" ] ||
  fail "A-deflated: the callback announced: $names"
unzip -tq "$work/deflated.zip" >"$work/out/A-unzip-t" 2>&1 || fail "A: unzip -t: $(cat "$work/out/A-unzip-t")"
check_archive "$work/deflated.zip" 8 texte.txt=texte.txt aléa.bin=aléa.bin été.txt=été.txt vide.txt=vide.txt \
  sous/dossier/profond.txt=sous/dossier/profond.txt || fail "A: zipfile disagrees with the deflated archive (above)"
unzip -q "$work/deflated.zip" -d "$work/unzipped" >"$work/out/A-unzip" 2>&1 || fail "A: unzip: $(cat "$work/out/A-unzip")"
diff -r "$src" "$work/unzipped" >"$work/out/A-diff" 2>&1 || fail "A: unzip extracted another tree: $(cat "$work/out/A-diff")"

zip_tool A-stored add "$(winpath "$work/stored.zip")" --level 0 --recurse "$(winpath "$src")\\*"
expect_run A-stored 5
unzip -tq "$work/stored.zip" >"$work/out/A-unzip-t0" 2>&1 || fail "A: unzip -t (stored): $(cat "$work/out/A-unzip-t0")"
check_archive "$work/stored.zip" 0 texte.txt=texte.txt aléa.bin=aléa.bin été.txt=été.txt vide.txt=vide.txt \
  profond.txt=sous/dossier/profond.txt || fail "A: zipfile disagrees with the stored archive (above)"

# ---------------------------------------------------------------------------
echo "== B: archives written by zipfile"
mkdir -p "$work/py"
cd "$work/py"
"$python" - <<'EOF'
import sys, zipfile
files = {"stocké.txt": (b"stocke\r\n" * 100, zipfile.ZIP_STORED),
         "compressé/été.txt": (b"chaleur " * 3000, zipfile.ZIP_DEFLATED),
         "plain.txt": (bytes(range(256)) * 40, zipfile.ZIP_DEFLATED)}

class Ibm437Info(zipfile.ZipInfo):
    # The name in IBM 437 without the UTF-8 flag, as old DOS writers stored it.
    def _encodeFilenameFlags(self):
        return self.filename.encode("cp437"), self.flag_bits & ~0x800

def fill(z):
    for name, (data, method) in files.items():
        z.writestr(zipfile.ZipInfo(name, (1999, 9, 1, 10, 0, 2)), data, compress_type=method)
    z.writestr(zipfile.ZipInfo("vide/", (1999, 9, 1, 10, 0, 2)), b"")
    z.writestr(Ibm437Info("école.txt", (1999, 9, 1, 10, 0, 2)), b"ecole", compress_type=zipfile.ZIP_DEFLATED)

with zipfile.ZipFile("py.zip", "w") as z:
    fill(z)
class Unseekable:
    # zipfile then writes every entry with a data descriptor after its data.
    def __init__(self, f): self.f = f
    def write(self, b): return self.f.write(b)
    def flush(self): self.f.flush()
with open("streamed.zip", "wb") as f, zipfile.ZipFile(Unseekable(f), "w") as z:
    fill(z)
for name, (data, _) in files.items():
    open(name.replace("/", "_"), "wb").write(data)
open("école.txt", "wb").write(b"ecole")
EOF
expected_names=$(sorted compressé/été.txt plain.txt stocké.txt école.txt)
for archive in py streamed; do
  zip_tool "B-$archive-test" test "$(winpath "$work/py/$archive.zip")"
  expect_run "B-$archive-test" 4
  [ "$names" = "$expected_names" ] || fail "B-$archive: the DLL lists: $names"
  mkdir -p "$work/py-out/$archive"
  zip_tool "B-$archive-extract" extract "$(winpath "$work/py/$archive.zip")" "$(winpath "$work/py-out/$archive")" --dirs
  expect_run "B-$archive-extract" 4
  out=$work/py-out/$archive
  for pair in "stocké.txt=stocké.txt" "compressé/été.txt=compressé_été.txt" "plain.txt=plain.txt" "école.txt=école.txt"; do
    cmp -s "$out/${pair%%=*}" "$work/py/${pair#*=}" || fail "B-$archive: ${pair%%=*} extracted wrong or not at all"
  done
  [ -d "$out/vide" ] || fail "B-$archive: the directory entry made no folder"
  # A foreign archive rewritten by the DLL: every other entry intact.
  zip_tool "B-$archive-delete" delete "$(winpath "$work/py/$archive.zip")" 'C:\AILLEURS\PLAIN.TXT'
  expect_run "B-$archive-delete" 1
  unzip -tq "$work/py/$archive.zip" >"$work/out/B-$archive-unzip-t" 2>&1 ||
    fail "B-$archive: unzip -t after the delete: $(cat "$work/out/B-$archive-unzip-t")"
  "$python" -c 'import sys, zipfile
z = zipfile.ZipFile(sys.argv[1]); assert z.testzip() is None
assert sorted(z.namelist()) == sorted(["stocké.txt", "compressé/été.txt", "vide/", "école.txt"]), z.namelist()
assert z.read("compressé/été.txt") == b"chaleur " * 3000' "$work/py/$archive.zip" ||
    fail "B-$archive: zipfile disagrees after the delete"
done

echo "== done: $failures failure(s)"
[ "$failures" -eq 0 ] || fail_now "FAILED, see $work/out"
echo "zip-interop: the DLLs' archives and zipfile's agree both ways"
