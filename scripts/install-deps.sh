#!/usr/bin/env bash
# Installs everything zormix needs to build and test on Debian 12 (run as root), and generates the
# de_DE.UTF-8 locale the tests use. Idempotent: when everything is there it changes nothing and
# needs no network.
set -euo pipefail

packages=(
  cmake g++ make pkg-config ccache
  libgtest-dev libgmock-dev libbenchmark-dev
  octave liboctave-dev
  libopenblas0-pthread  # Octave's BLAS with threads of its own: the SIGTERM test runs with it too
  libcli11-dev nlohmann-json3-dev
  gfan phcpack
  libopenmpi-dev openmpi-bin
  libboost-dev python3-jsonschema
  clang libclang-rt-14-dev
  locales
  python3
  pybind11-dev python3-dev python3-numpy python3-pytest
  python3-venv python3-pip python3-setuptools python3-wheel
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

install_missing() {
  if [ ${#missing[@]} -eq 0 ]; then
    echo "install-deps: all ${#packages[@]} packages are installed"
    return 0
  fi
  if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps: missing packages: ${missing[*]}; run this script as root" >&2
    exit 1
  fi
  echo "install-deps: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update
  apt-get install -y --no-install-recommends "${missing[@]}"
}

# The reader tests read numbers under a comma-decimal locale; without it they skip that check.
generate_test_locale() {
  if locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
    return 0
  fi
  if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps: locale de_DE.UTF-8 missing; run this script as root to generate it" >&2
    return 0
  fi
  echo "install-deps: generating the locale de_DE.UTF-8"
  grep -q '^de_DE.UTF-8' /etc/locale.gen || sed -i 's/^# *de_DE.UTF-8/de_DE.UTF-8/' /etc/locale.gen
  locale-gen
}

install_missing
generate_test_locale
