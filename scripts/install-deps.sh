#!/usr/bin/env bash
# Installs the Debian packages the build needs that a fresh machine may lack.
# As root it installs them; otherwise it prints the one command to run.
set -euo pipefail
# The show runner reads TOML with toml++, takes OSC with liblo and sends to olad with libola; its
# end-to-end tests run olad (ola) in network namespaces set up with ip (iproute2) and unshare
# (util-linux). The studio's server is cpp-httplib, its answers and `list --json` nlohmann-json;
# its browser tests drive chromium from node.
packages=(cmake g++ pkg-config libgtest-dev libgmock-dev libmuparser-dev libcli11-dev
          libsndfile1-dev libxml2-dev libasmjit-dev locales libtomlplusplus-dev liblo-dev libola-dev ola iproute2 util-linux
          libcpp-httplib-dev nlohmann-json3-dev chromium)
# Tempo from an Ableton Link session (zrsignal with ZR_WITH_GPL): Link's headers, on asio.
packages+=(ableton-link-dev libasio-dev)
# Audio from a sound card is captured with PortAudio, MIDI taken with RtMidi, beats tracked with
# aubio; the tests of audio and MIDI run a JACK server (jackd2) with the dummy driver and clients
# of their own (libjack). These are installed without their recommended packages: jackd2 would
# bring a desktop toolkit.
lean_packages=(portaudio19-dev jackd2 libjack-jackd2-dev libaubio-dev librtmidi-dev)
# Fixture profiles come from QLC+'s fixture library; the tests of packets on the wire decode them
# with Wireshark's dissectors (tshark, without its desktop recommendations).
packages+=(qlcplus-data)
lean_packages+=(tshark)
# The Python package is built with pybind11 against the system's Python and NumPy, and tested
# with pytest; its notebook example plots with matplotlib.
packages+=(python3-dev pybind11-dev python3-pybind11 python3-numpy python3-pytest python3-matplotlib)
# A node installed another way (with its own npm) is used as it is.
command -v node >/dev/null 2>&1 && command -v npm >/dev/null 2>&1 || packages+=(nodejs npm)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
missing_lean=()
for p in "${lean_packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing_lean+=("$p")
done
if [ ${#missing[@]} -gt 0 ] || [ ${#missing_lean[@]} -gt 0 ]; then
    if [ "$(id -u)" -ne 0 ]; then
        echo "Missing packages. Run:"
        [ ${#missing[@]} -eq 0 ] || echo "  sudo apt-get update && sudo apt-get install -y ${missing[*]}"
        [ ${#missing_lean[@]} -eq 0 ] ||
            echo "  sudo apt-get update && sudo apt-get install -y --no-install-recommends ${missing_lean[*]}"
        exit 1
    fi
    apt-get update
    [ ${#missing[@]} -eq 0 ] || DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}"
    [ ${#missing_lean[@]} -eq 0 ] ||
        DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing_lean[@]}"
fi
# A locale with a decimal comma, for the test of locale-dependent syntax (skipped without it).
if [ "$(id -u)" -eq 0 ] && ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
    localedef -i de_DE -f UTF-8 de_DE.UTF-8 || echo "note: could not generate de_DE.UTF-8"
fi
# playwright-core for the studio's browser tests, at the version of the lock file; it drives the
# system chromium and downloads no browser of its own.
studio_tests="$(cd "$(dirname "$0")/.." && pwd)/tests/studio"
if [ ! -f "$studio_tests/node_modules/playwright-core/package.json" ] ||
    [ "$studio_tests/package-lock.json" -nt "$studio_tests/node_modules/.package-lock.json" ]; then
    (cd "$studio_tests" && PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund)
fi
