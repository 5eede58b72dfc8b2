#!/usr/bin/env bash
# Runs a test program inside a network namespace of its own (unshare -n) with only the loopback
# interface, up, for tests whose processes talk over loopback alone: nothing can leave the
# namespace. Link peers find one another there by multicast on 127.0.0.1: Link sends on each
# interface it finds, loopback included, naming it as the multicast interface, so no route is
# needed.
# Exits 77 (CTest: skipped) with the reason where a namespace is not available.
#   tests/show/in-link-network.sh PROGRAM [ARGS...]
set -euo pipefail
if [ "${ZR_TEST_NETWORK:-}" != "namespace" ]; then
    skip() {
        echo "SKIPPED: $1"
        exit 77
    }
    [ "$(id -u)" -eq 0 ] || skip "unshare -n needs root"
    for tool in unshare ip; do
        command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed (scripts/install-deps.sh installs it)"
    done
    unshare -n true 2>/dev/null || skip "unshare -n is not permitted here"
    export ZR_TEST_NETWORK=namespace
    exec unshare -n "$0" "$@"
fi
ip link set lo up
exec "$@"
