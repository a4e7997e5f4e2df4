#!/usr/bin/env bash
# Prints the Debian packages that hold the shared libraries a program links,
# one a line: what a runtime image installs to run what a build image built.
# Status 1 when a library belongs to no package (the image would lack it).
#   deploy/runtime-packages.sh build/kalvero-serve
set -euo pipefail
if [ $# -ne 1 ] || [ ! -x "$1" ]; then
  echo "usage: $0 PROGRAM (an executable file)" >&2
  exit 2
fi
libraries=$(ldd "$1" | awk '/=> \// { print $3 }' | sort -u)
packages=()
unowned=0
for library in $libraries; do
  owner=""
  # Debian 12 merges /lib into /usr/lib: dpkg knows a library under one of
  # the two names only, so both are asked for.
  for path in "$library" "$(realpath "$library")" "${library#/usr}" "/usr${library#/usr}"; do
    if owner=$(dpkg-query -S "$path" 2>/dev/null); then
      break
    fi
    owner=""
  done
  if [ -z "$owner" ]; then
    echo "$0: no Debian package holds $library" >&2
    unowned=1
  else
    packages+=("${owner%%:*}")
  fi
done
printf '%s\n' "${packages[@]}" | sort -u
exit $unowned
