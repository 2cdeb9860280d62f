#!/bin/bash
# The interactive program on the display: pivalune.exe installed in
# C:\Program Files\Pivalune of a Wine prefix of its own under BUILD/program
# (made on the first run and kept, with its settings, states and reports,
# from one run to the next; never the user's ~/.wine), and started there
# without arguments. Returns when the program and what it started have ended.
# PV_DESKTOP=1024x768 shows it inside Wine's virtual desktop, for a display
# without a window manager. Drive A: is a diskette holding a sample
# installer, to watch through "Installer".
set -eu
build=${1:-build}
root=$(cd "$(dirname "$0")/.." && pwd)
base=$root/$build/program

program=$root/$build/bin/pivalune.exe
[ -f "$program" ] || { echo "start-program: $program is missing (make build)" >&2; exit 1; }
[ -n "${DISPLAY:-}" ] || { echo "start-program: no display (DISPLAY is not set)" >&2; exit 1; }

. "$root/tools/wine-env.sh"
use_own_prefix "$base"

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "Préfixe Wine du programme : $WINEPREFIX (création)"
  $wine wineboot --init </dev/null >/dev/null 2>&1
  # What the first installation watches: drive C:, WIN.INI and the
  # registry (the configuration dialog changes it).
  key='HKCU\Software\Ostralec\Pivalune'
  $wine reg add "$key" /v Drives /t REG_SZ /d C /f >/dev/null
  $wine reg add "$key" /v Type /t REG_SZ /d WR /f >/dev/null
fi

# A diskette in drive A: with the sample installer, for "Installer".
diskette=$base/disquette
mkdir -p "$diskette"
if [ ! -f "$diskette/exemple-installation.exe" ] && command -v makensis >/dev/null; then
  makensis -V2 -INPUTCHARSET UTF8 "-DOUTFILE=$diskette/exemple-installation.exe" "$root/demo/sample-installer.nsi"
fi
ln -sfn "$diskette" "$WINEPREFIX/dosdevices/a:"
echo "Disquette A: : $diskette (exemple-installation.exe, un installateur d'exemple)"

install_program "$program"
echo "pivalune.exe installé dans $install_dir ; démarrage"

if [ -n "${PV_DESKTOP:-}" ]; then
  $wine explorer "/desktop=pivalune,$PV_DESKTOP" "$install_dir\\pivalune.exe" </dev/null
else
  $wine "$install_dir\\pivalune.exe" </dev/null
fi
wineserver -w
