#!/usr/bin/env bash
# Installs every Debian package the builds and tests need. Idempotent: when all
# packages are present it does nothing; it runs apt-get update only when one is missing.
set -euo pipefail

packages=(
  cmake make g++ python3
  g++-mingw-w64-x86-64-win32 g++-mingw-w64-i686-win32 binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
  libz-mingw-w64-dev zlib1g-dev libssl-dev
  googletest libgtest-dev
  clang libclang-rt-14-dev clang-format
  wine64 wine32:i386 xvfb xauth x11-apps
  lighttpd python3-pyftpdlib python3-yaml openssl osslsigncode
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
# The shipped stub is a 32-bit program: Wine runs it as 64-bit Windows does (WoW64)
# with its 32-bit half, from Debian's i386 architecture.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo_cmd[@]}" dpkg --add-architecture i386
fi
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
