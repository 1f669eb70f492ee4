#!/usr/bin/env bash
# Installs the Debian packages given as arguments that are not installed yet,
# adding the i386 architecture first when wine32 is wanted.
set -euo pipefail
missing=()
for pkg in "$@"; do
  name=$pkg
  [[ $pkg == wine32 ]] && name=wine32:i386
  dpkg-query -W -f='${Status}' "$name" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0
echo "installing: ${missing[*]}"
SUDO=
[[ $(id -u) -ne 0 ]] && SUDO=sudo
if printf '%s\n' "${missing[@]}" | grep -qx wine32 && ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
