#!/usr/bin/env bash
# Installs everything the project needs on Debian 12 (run as root). Idempotent.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev clang-format
  qt6-base-dev qt6-translations-l10n fonts-wqy-microhei xdg-utils
  libasio-dev libsoci-dev libboost-dev libsqlite3-dev libsimpleini-dev libsodium-dev libssl-dev openssl
  # libxlsxwriter links zlib without depending on its development package
  libgtest-dev libbenchmark-dev libxlsxwriter-dev zlib1g-dev python3-openpyxl
  libpq-dev postgresql postgresql-client
  dpkg-dev file
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update
  apt-get install -y --no-install-recommends "${missing[@]}"
fi
