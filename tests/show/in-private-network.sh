#!/usr/bin/env bash
# Runs a test program inside a network namespace of its own (unshare -n), so that no packet can
# leave the machine: loopback up (Link peers find one another by multicast on 127.0.0.1, which
# needs no route), and with --veth a veth pair zra/zrb with the private address 10.77.0.1/24 on
# zra, both ends up (OLA's network plugins ignore the loopback interface).
# Exits 77 (CTest: skipped) with the reason where a namespace is not available.
#   tests/show/in-private-network.sh [--veth] PROGRAM [ARGS...]
set -euo pipefail
veth=false
if [ "${1:-}" = "--veth" ]; then
    veth=true
    shift
fi
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
    if $veth; then
        exec unshare -n "$0" --veth "$@"
    fi
    exec unshare -n "$0" "$@"
fi
ip link set lo up
if $veth; then
    ip link add zra type veth peer name zrb
    ip addr add 10.77.0.1/24 dev zra
    ip link set zra up
    ip link set zrb up
fi
exec "$@"
