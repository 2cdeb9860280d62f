#!/bin/sh
# The engines that read state files and reports, and decide what the undo
# removes, are plain C++ without Windows headers: each one must compile for
# the host as well, so that it can be built natively (sanitizers, fuzzing).
# Usage: header-free.sh <source root> <file>...
set -eu
root=$1
shift
compiler=${CXX_NATIVE:-g++}
command -v "$compiler" >/dev/null || { echo "header-free: no host compiler $compiler" >&2; exit 1; }
failed=0
for file in "$@"; do
  if ! "$compiler" -std=c++20 -Wall -Wextra -Werror -fsyntax-only -I"$root/src" "$root/$file"; then
    echo "header-free: $file does not build without Windows headers" >&2
    failed=1
  fi
done
exit $failed
