#!/bin/sh
# Builds the installers of the install-wizard tests into OUTDIR with
# makensis, and the older library sablier-setup.exe puts back (its date,
# 11/06/1997, goes into the installer with it).
# Usage: build-installers.sh <outdir>
set -eu
here=$(cd "$(dirname "$0")" && pwd)
out=$1
mkdir -p "$out"
command -v makensis >/dev/null || { echo "build-installers: makensis is missing (nsis)" >&2; exit 1; }
printf 'MZ commun 1.0' >"$out/commun.dll"
TZ=UTC touch -d '1997-06-11 00:00:00' "$out/commun.dll"
for script in sablier-setup relais-setup relais-suite; do
  TZ=UTC makensis -V2 -INPUTCHARSET UTF8 "-DOUTDIR=$out" "$here/$script.nsi"
done
