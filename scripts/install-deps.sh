#!/usr/bin/env bash
# Installs the Debian packages the build needs, when any is missing.
set -euo pipefail
# portaudio19-dev: its header for the build, and libportaudio2, which the
# library loads on the first sound-device use.
packages=(g++ cmake ninja-build pkg-config libgtest-dev libgmock-dev libbenchmark-dev libsqlite3-dev libsndfile1-dev portaudio19-dev libfftw3-dev)
# The live-input test's own sound server (JACK's dummy driver) and the
# library its feeder client uses; jackd2 without its recommended desktop tools.
bare_packages=(jackd2 libjack-jackd2-dev)
# One query for all of them; a package dpkg does not know is simply absent.
installed=" $(dpkg-query -W -f='${Package}:${Status} ' "${packages[@]}" "${bare_packages[@]}" 2>/dev/null || true) "
missing=()
missing_bare=()
for p in "${packages[@]}"; do
  [[ "$installed" == *" $p:install ok installed "* ]] || missing+=("$p")
done
for p in "${bare_packages[@]}"; do
  [[ "$installed" == *" $p:install ok installed "* ]] || missing_bare+=("$p")
done
[ ${#missing[@]} -eq 0 ] && [ ${#missing_bare[@]} -eq 0 ] && exit 0
if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages: ${missing[*]} ${missing_bare[*]}" >&2
  echo "Install them as root: apt-get install ${missing[*]} ${missing_bare[*]}" >&2
  exit 1
fi
echo "Installing: ${missing[*]} ${missing_bare[*]}"
apt-get update -qq
[ ${#missing[@]} -eq 0 ] || DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
[ ${#missing_bare[@]} -eq 0 ] ||
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing_bare[@]}"
