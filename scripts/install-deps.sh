#!/usr/bin/env bash
# Installs the Debian packages that Kadrel needs to build, test and run, and only those that
# are missing; with --measure, also those of the sound measurements. Non-interactive; goes
# through sudo when not run as root.
set -euo pipefail

packages=(
    # build
    cmake ninja-build g++ ccache pkg-config
    # user interface
    qt6-base-dev libgl-dev qt6-translations-l10n fontconfig fonts-dejavu-core
    # sound: the built-in synthesizer, its General MIDI soundfont, the sound server's client
    # library, system MIDI ports
    libfluidsynth-dev timgm6mb-soundfont libpulse-dev librtmidi-dev libasound2-dev libglib2.0-dev
    # the JACK client library that desktops have (its messages are kept off the terminal)
    libjack-jackd2-dev
    # tests and benchmarks
    libgtest-dev libgmock-dev libbenchmark-dev
    # fuzzing (libFuzzer comes with clang's runtime)
    clang libclang-rt-dev
    # checks of the desktop entry and the AppStream metainfo
    desktop-file-utils appstream
    # the peers measured beside kadrel-disasm, the import and kadrel-render in the benchmarks;
    # fluidsynth's own file player is also what the render tests compare kadrel-render with
    midicsv fluidsynth
)
# The sound measurements of scripts/measure-sound.py, only when asked for: a sound server with
# its tools, numpy for the analysis, and a virtual display for the editor.
if [ "${1:-}" = "--measure" ]; then
    packages+=(pulseaudio pulseaudio-utils python3-numpy xvfb)
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
