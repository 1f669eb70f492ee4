#!/usr/bin/env bash
# Installs the Debian packages given as arguments that are not installed yet.
# With WINE32=1 it also tries the 32-bit Wine loader (wine32, of the i386
# architecture), for running the 32-bit DLL, where the kernel runs 32-bit x86
# programs; should that fail (no such kernel support, or no i386 packages to
# be had), it says why and leaves the system as it was: the 32-bit run is
# then reported skipped.
set -euo pipefail
SUDO=
[[ $(id -u) -ne 0 ]] && SUDO=sudo
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

missing=()
for pkg in "$@"; do installed "$pkg" || missing+=("$pkg"); done
if [[ ${#missing[@]} -gt 0 ]]; then
  echo "installing: ${missing[*]}"
  # One list that fails to come (a mirror in the middle of a sync) need not
  # stop the install: the packages may well be in the lists that did.
  $SUDO apt-get update -qq || echo "apt-get update reported errors; installing from the lists there are"
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" >/dev/null
fi

[[ ${WINE32:-} == 1 ]] || exit 0
installed wine32:i386 && exit 0
# The smallest i386 program: exit(0) through int 0x80.
probe=$(mktemp)
printf '\x7f\x45\x4c\x46\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\xb8\x01\x00\x00\x00\x31\xdb\xcd\x80' >"$probe"
chmod +x "$probe"
if ! "$probe" 2>/dev/null; then
  rm -f "$probe"
  echo "wine32: this kernel does not run 32-bit x86 programs; the 32-bit DLL is checked from its file only"
  exit 0
fi
rm -f "$probe"
echo "installing: wine32 (i386)"
added=
dpkg --print-foreign-architectures | grep -qx i386 || { $SUDO dpkg --add-architecture i386; added=1; }
if ! { $SUDO apt-get update -qq && DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq \
         --no-install-recommends wine32:i386 >/dev/null; }; then
  echo "wine32: could not be installed; the 32-bit DLL is checked from its file only"
  if [[ -n $added ]]; then
    $SUDO dpkg --remove-architecture i386 2>/dev/null || true
    $SUDO apt-get update -qq || true
  fi
fi
exit 0
