#!/usr/bin/env bash
# Runs one browser test of the studio (studio.test.mjs) in the system chromium. As root it runs
# inside a network namespace of its own (unshare -n, loopback up), so the servers it starts and
# the browser reach nothing but that loopback. Exits 77 (CTest: skipped) with the reason when
# node, chromium or playwright-core is missing.
#   ZRSIGNAL=build/default/bin/zrsignal ZR_SOURCE_DIR=. tests/studio/run-browser-tests.sh TEST
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
if [ "${ZR_STUDIO_NETWORK:-}" != "namespace" ]; then
    skip() {
        echo "SKIPPED: $1"
        exit 77
    }
    command -v node >/dev/null 2>&1 || skip "node is not installed (scripts/install-deps.sh installs it)"
    [ -x "${ZR_CHROMIUM:-/usr/bin/chromium}" ] || skip "chromium is not installed (scripts/install-deps.sh installs it)"
    [ -f "$here/node_modules/playwright-core/package.json" ] ||
        skip "playwright-core is not installed: run npm ci in tests/studio (scripts/install-deps.sh does)"
    if [ "$(id -u)" -eq 0 ] && command -v unshare >/dev/null 2>&1 && command -v ip >/dev/null 2>&1 &&
        unshare -n true 2>/dev/null; then
        export ZR_STUDIO_NETWORK=namespace
        exec unshare -n "$0" "$@"
    fi
    echo "note: not in a network namespace of its own (needs root, unshare and ip); the servers listen on 127.0.0.1"
else
    ip link set lo up
fi
exec node "$here/studio.test.mjs" "$@"
