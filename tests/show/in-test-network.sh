#!/usr/bin/env bash
# Runs a test program that talks to olad inside a network namespace of its own, with the veth
# pair OLA's network plugins need (in-private-network.sh --veth).
# Exits 77 (CTest: skipped) with the reason where olad or a namespace is not available.
#   tests/show/in-test-network.sh PROGRAM [ARGS...]
set -euo pipefail
if [ "${ZR_TEST_NETWORK:-}" != "namespace" ]; then
    skip() {
        echo "SKIPPED: $1"
        exit 77
    }
    [ "$(id -u)" -eq 0 ] || skip "runuser needs root"
    for tool in runuser olad ola_patch ola_recorder ola_dev_info; do
        command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed (scripts/install-deps.sh installs it)"
    done
    getent passwd olad >/dev/null || skip "there is no user olad (the Debian package ola creates it)"
fi
exec "$(dirname "$0")/in-private-network.sh" --veth "$@"
