#!/usr/bin/env bash
# Runs a test program inside a network namespace of its own (unshare -n), so that no packet can
# leave the machine. OLA's network plugins ignore the loopback interface, so the namespace gets
# a veth pair zra/zrb with the private address 10.77.0.1/24 on zra, both ends and lo up.
# Exits 77 (CTest: skipped) with the reason where the namespace or olad is not available.
#   tests/show/in-test-network.sh PROGRAM [ARGS...]
set -euo pipefail
if [ "${ZR_TEST_NETWORK:-}" != "namespace" ]; then
    skip() {
        echo "SKIPPED: $1"
        exit 77
    }
    [ "$(id -u)" -eq 0 ] || skip "unshare -n and runuser need root"
    for tool in unshare ip runuser olad ola_patch ola_recorder ola_dev_info; do
        command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed (scripts/install-deps.sh installs it)"
    done
    getent passwd olad >/dev/null || skip "there is no user olad (the Debian package ola creates it)"
    unshare -n true 2>/dev/null || skip "unshare -n is not permitted here"
    export ZR_TEST_NETWORK=namespace
    exec unshare -n "$0" "$@"
fi
ip link set lo up
ip link add zra type veth peer name zrb
ip addr add 10.77.0.1/24 dev zra
ip link set zra up
ip link set zrb up
exec "$@"
