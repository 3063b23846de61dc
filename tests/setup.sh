#!/usr/bin/env bash
# Installs, from Debian's packages, whatever the tests need that this machine
# lacks: nothing is fetched when all of it is there. As root, or through sudo.
set -euo pipefail
packages=(cmake g++ clang libclang-rt-14-dev binutils libgtest-dev nlohmann-json3-dev gnuplot-nox gdb perl
  libbenchmark-tools python3-scipy libc6-dbg glibc-source python3-jsonschema python3-matplotlib chromium python3-pil openssh-server openssh-client parallel rsync patchelf musl-dev dietlibc-dev libklibc-dev libllvmlibc-19-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} = 0 ] && exit 0
as_root=()
[ "$(id -u)" = 0 ] || as_root=(sudo)
echo "installing: ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
