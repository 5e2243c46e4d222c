#!/usr/bin/env bash
# Installs the Debian packages the build needs, when any is missing.
set -euo pipefail
packages=(g++ cmake ninja-build pkg-config libgtest-dev libgmock-dev libbenchmark-dev libsqlite3-dev libsndfile1-dev portaudio19-dev libfftw3-dev)
# One query for all of them; a package dpkg does not know is simply absent.
installed=" $(dpkg-query -W -f='${Package}:${Status} ' "${packages[@]}" 2>/dev/null || true) "
missing=()
for p in "${packages[@]}"; do
  [[ "$installed" == *" $p:install ok installed "* ]] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages: ${missing[*]}" >&2
  echo "Install them as root: apt-get install ${missing[*]}" >&2
  exit 1
fi
echo "Installing: ${missing[*]}"
apt-get update -qq
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
