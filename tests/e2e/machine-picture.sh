# Pictures of a whole Wine prefix made without the program, for the
# whole-program tests that must find the machine as it was: sourced after
# the test has set WINEPREFIX, $wine, $lister (list_tree.exe), $out (a work
# folder) and the functions run, die and fail.

# The whole prefix, one line per entry, tab-separated:
#   kind  path  size  last-write  attributes  host-mtime  contents
# The kind (d, f), the last-write time in whole seconds (UTC) and the
# attributes (RHSAD) are what a Windows program sees: list_tree.exe walks
# the prefix through Z:. The size, the host's modification time (to the
# tenth of a microsecond, the finest a Windows program can see or set: a
# date cut to even seconds shows there even when the whole seconds agree)
# and the contents (sha256) come from the host, and so do
# symbolic links (kind l: the drive letters, the user's shell folders),
# with "-> target" for contents and not followed. Both sides must see the
# same entries, or the listing is not to be trusted.
prefix_root=$(winepath -w "$WINEPREFIX" 2>/dev/null)
list_prefix() {
  run "$lister" "$prefix_root" > "$1.windows" || die "list_tree.exe could not list the prefix"
  (
    cd "$WINEPREFIX"
    find . -type f -print0 | sort -z | xargs -0 -r sha256sum > "$1.hashes"
    TZ=UTC find . -printf '%y\t%p\t%s\t%TY-%Tm-%TdT%TH:%TM:%TS\t%l\n' > "$1.host"
  )
  awk -F'\t' -v OFS='\t' '
    FILENAME == ARGV[1] { hash[substr($0, 67)] = substr($0, 1, 64); next }
    FILENAME == ARGV[2] { seen[$2] = $1; wtime[$2] = $4; wattr[$2] = $5; next }
    $1 == "l" { print "l", $2, "-", "-", "-", "-", "-> " $5; delete seen[$2]; next }
    !($2 in seen) { print "  " $2 ": seen by the host, not by Windows" > "/dev/stderr"; bad = 1; next }
    seen[$2] != $1 {
      print "  " $2 ": of kind " $1 " for the host, " seen[$2] " for Windows" > "/dev/stderr"
      bad = 1
    }
    { $4 = substr($4, 1, length($4) - 3) }  # to 100 ns: find writes ten decimals
    $1 == "d" { print "d", $2, "-", wtime[$2], wattr[$2], $4, "-" }
    $1 == "f" { print "f", $2, $3, wtime[$2], wattr[$2], $4, hash[$2] }
    { delete seen[$2] }
    END {
      for (p in seen) { print "  " p ": seen by Windows, not by the host" > "/dev/stderr"; bad = 1 }
      exit bad
    }' "$1.hashes" "$1.windows" "$1.host" | sort > "$1" ||
    die "the Windows and host listings of the prefix disagree (above)"
  rm -f "$1.hashes" "$1.windows" "$1.host"
}
# The size of a file of drive C: in the listing $1.
listed_size() { awk -F'\t' -v p="./drive_c/$2" '$1 == "f" && $2 == p { print $3 }' "$1"; }

# A listing without what is not the program's doing, for comparison:
#  - the program's own directory holds its state files and reports: its
#    contents are left out, and its dates;
#  - what Wine changes by itself, seen between two listings of a prefix
#    with nothing but Wine's own programs run (wine cmd /c exit, reg query,
#    reg add, wineboot, a new wineserver session): the wineserver saves the
#    registry into system.reg, user.reg and userdef.reg some 30 s after a
#    change (userdef.reg, unchanged in contents, after the start of every
#    session: the session's boot marks HKEY_USERS\.Default as changed, and
#    the save falls in the middle of this test), rewriting each one whole
#    under a new name renamed over the old, which also dates the prefix's
#    own directory anew. The registry is compared through `reg export`
#    instead (list_registry): the hive files are left out whole, and of the
#    prefix directory only its dates.
# With "restore" ($2), also the dates (and only those) of the entries named
# in $out/undated: the directories the installer made or deleted entries in
# (a directory is dated anew then, and no undo dates it back), and the files
# the restore rewrites on purpose; and the contents of the files named in
# $out/rebuilt, which a restore rebuilds rather than restores (AUTOEXEC.BAT,
# its lines in capitals): only their kind and attributes stay here, the
# test checks their contents on its own; and whatever lies inside the
# folders named in $out/unlisted (the user's Temp folder, where an NSIS
# uninstaller leaves its copy for Windows to delete at the next start).
program_entry="./drive_c/Program Files/Pivalune"
comparable() {
  awk -F'\t' -v OFS='\t' -v mode="${2:-}" -v undated="$out/undated" -v rebuilt="$out/rebuilt" \
      -v unlisted="$out/unlisted" -v program="$program_entry" '
    BEGIN {
      if (mode == "restore") {
        while ((getline line < undated) > 0) keepsNoDate[line] = 1
        while ((getline line < rebuilt) > 0) isRebuilt[line] = 1
        while ((getline line < unlisted) > 0) isUnlisted[line] = 1
      }
    }
    $2 == "./system.reg" || $2 == "./user.reg" || $2 == "./userdef.reg" { next }
    index($2, program "/") == 1 { next }
    {
      for (folder in isUnlisted) if (index($2, folder "/") == 1) next
    }
    $2 == "." || $2 == program || $2 in keepsNoDate { $4 = $6 = "(date)" }
    $2 in isRebuilt { $3 = $4 = $6 = $7 = "(rebuilt)" }
    { print }' "$1"
}
# The listings $2 and $3 must be the same once comparable ($4: its mode).
expect_same_listing() {
  local mode=${4:-recording}
  comparable "$2" "$mode" > "$2.$mode"
  comparable "$3" "$mode" > "$3.$mode"
  if ! diff -u --label "$(basename "$2")" --label "$(basename "$3")" "$2.$mode" "$3.$mode" \
      > "$3.diff"; then
    cat "$3.diff" >&2
    fail "$1 (above; kind path size last-write attributes host-mtime contents)"
  fi
}

# The registry trees the installer writes into, and the default user's
# (what userdef.reg holds), as `reg export` gives them (UTF-16 turned into
# UTF-8, CR LF into LF), without the program's own settings key, which
# every run of the command line rewrites (Bat, Pred, Succ, Last).
# HKLM\System is left out: Wine changes it by itself in every session (a
# new display-device key, the devices' "Linked" values); and so is the key
# where Wine keeps the system parameters its windows ask for, which it
# fills the first time a program with windows runs.
list_registry() {
  local tree file=$out/export.reg
  : > "$1"
  for tree in 'HKLM\Software' 'HKCU' 'HKU\.Default'; do
    run reg export "$tree" "$(winepath -w "$file" 2>/dev/null)" /y >/dev/null ||
      die "reg export $tree failed"
    iconv -f UTF-16LE -t UTF-8 "$file" | tr -d '\r' | sed '1s/^\xef\xbb\xbf//' |
      awk '/^\[/ { skip = index($0, "[HKEY_CURRENT_USER\\Software\\Ostralec\\Pivalune") == 1 ||
                         index($0, "[HKEY_CURRENT_USER\\Software\\Wine\\Temporary System Parameters") == 1 }
           !skip' >> "$1"
    rm -f "$file"
  done
}
expect_same_registry() {
  if ! diff -u --label "$(basename "$2")" --label "$(basename "$3")" "$2" "$3" > "$3.diff"; then
    cat "$3.diff" >&2
    fail "$1 (above)"
  fi
}

