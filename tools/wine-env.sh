# Sourced by every script that runs the program or its tests under Wine:
# a Wine prefix, a home and a trash folder of the script's own (never the
# user's ~/.wine), and an Xvfb display when there is none.
wine=/usr/lib/wine/wine64

# use_own_prefix DIR: the prefix DIR/prefix, the home DIR/home (the prefix
# links its shell folders there) and the recycle bin under DIR/xdg.
use_own_prefix() {
  mkdir -p "$1/home" "$1/xdg" "$1/prefix"
  # The X authority of a real display is found through HOME, which changes.
  if [ -n "${DISPLAY:-}" ] && [ -z "${XAUTHORITY:-}" ] && [ -f "${HOME:-/nonexistent}/.Xauthority" ]; then
    export XAUTHORITY=$HOME/.Xauthority
  fi
  export WINEPREFIX=$1/prefix
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  export HOME=$1/home
  export XDG_DATA_HOME=$1/xdg
}

# boot_persistent_prefix: makes the prefix and leaves a persistent
# wineserver with its background processes running. Making a new prefix
# may leave two service managers behind; COM's RPC service then cannot be
# started again once it has gone idle, and every later process that uses
# COM waits some 10 to 20 s for it. Starting the server once more on the
# finished prefix leaves one service manager.
boot_persistent_prefix() {
  wineserver -p
  $wine wineboot --init </dev/null >/dev/null 2>&1
  wineserver -k
  wineserver -w
  wineserver -p
  $wine wineboot </dev/null >/dev/null 2>&1
}

# install_program EXE: the program copied into C:\Program Files\Pivalune of
# the prefix, as a user installs it; a newer build replaces the one there,
# and what the program keeps beside itself (states, reports) stays.
install_dir='C:\Program Files\Pivalune'
install_program() {
  local dir="$WINEPREFIX/drive_c/Program Files/Pivalune"
  mkdir -p "$dir"
  cp "$1" "$dir/pivalune.exe"
  # The ZIP libraries the backup loads by name lie beside the program.
  local lib
  for lib in PVZIP.DLL PVUNZIP.DLL; do
    [ -f "$(dirname "$1")/$lib" ] && cp "$(dirname "$1")/$lib" "$dir/$lib"
  done
  return 0
}

# start_xvfb: when DISPLAY is not set, an Xvfb display on a free number;
# xvfb_pid holds its process (empty when none was started).
xvfb_pid=""
start_xvfb() {
  [ -z "${DISPLAY:-}" ] || return 0
  local n
  for n in $(seq 90 120); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || break
  done
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY=":$n"
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
}

stop_xvfb() {
  [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
}
