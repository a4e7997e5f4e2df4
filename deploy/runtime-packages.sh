#!/usr/bin/env bash
# Prints the Debian packages that hold the shared libraries a program links,
# one a line: what a runtime image installs to run what a build image built.
#   deploy/runtime-packages.sh build/kalvero-serve
set -euo pipefail
if [ $# -ne 1 ] || [ ! -x "$1" ]; then
  echo "usage: $0 PROGRAM (an executable file)" >&2
  exit 2
fi
ldd "$1" | awk '/=> \// { print $3 }' | sort -u | while read -r library; do
  # Debian 12 merges /lib into /usr/lib: dpkg knows a library under one of
  # the two names only, so both are asked for.
  for path in "$library" "$(realpath "$library")" "${library#/usr}" "/usr${library#/usr}"; do
    if owner=$(dpkg-query -S "$path" 2>/dev/null); then
      echo "${owner%%:*}"
      break
    fi
  done
done | sort -u
