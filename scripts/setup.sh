#!/usr/bin/env bash
# Installs every Debian package that building, testing and running Tolvane need.
# Non-interactive and safe to run again.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config ccache git
    juce-modules-source
    libasound2-dev libjack-jackd2-dev libfreetype-dev libfontconfig1-dev
    libx11-dev libxext-dev libxrandr-dev libxinerama-dev libxcursor-dev
    libpng-dev libjpeg-dev libgl-dev
    libgtest-dev libgmock-dev libbenchmark-dev libfftw3-dev
    jackd2 xvfb xauth xdotool imagemagick
    libsndfile1-dev python3
)

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
    if [ ${#sudo_cmd[@]} -gt 0 ] && ! command -v sudo >/dev/null; then
        echo "${#missing[@]} of the Debian packages Tolvane needs are not installed; installing them needs root, and sudo is not installed." >&2
        echo "Run this once as root: su - -c '$(realpath "$0")'" >&2
        exit 1
    fi
    export DEBIAN_FRONTEND=noninteractive
    # jackd2 asks about real-time priority; answer it up front.
    echo "jackd2 jackd/tweak_rt_limits boolean false" | "${sudo_cmd[@]}" debconf-set-selections
    "${sudo_cmd[@]}" apt-get -o DPkg::Lock::Timeout=300 update -q
    "${sudo_cmd[@]}" apt-get -o DPkg::Lock::Timeout=300 install -y -q --no-install-recommends "${missing[@]}"
fi
