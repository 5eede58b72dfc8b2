#!/usr/bin/env bash
# Runs a test program that captures its own packets (dumpcap, decoded by tshark) inside a network
# namespace of its own, with loopback and the veth pair of in-private-network.sh --veth.
# Exits 77 (CTest: skipped) with the reason where the tools or a namespace are not available.
#   tests/show/in-capture-network.sh PROGRAM [ARGS...]
set -euo pipefail
if [ "${ZR_TEST_NETWORK:-}" != "namespace" ]; then
    for tool in dumpcap tshark; do
        if ! command -v "$tool" >/dev/null 2>&1; then
            echo "SKIPPED: $tool is not installed (Debian's tshark package)"
            exit 77
        fi
    done
fi
exec "$(dirname "$0")/in-private-network.sh" --veth "$@"
