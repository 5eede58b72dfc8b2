#!/usr/bin/env bash
# Installs the Debian packages the build needs that a fresh machine may lack.
# As root it installs them; otherwise it prints the one command to run.
set -euo pipefail
packages=(cmake g++ libgtest-dev libgmock-dev libbenchmark-dev)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi
if [ "$(id -u)" -eq 0 ]; then
    apt-get update
    DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}"
else
    echo "Missing packages. Run:"
    echo "  sudo apt-get update && sudo apt-get install -y ${missing[*]}"
    exit 1
fi
