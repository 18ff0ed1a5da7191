#!/usr/bin/env bash
# The main job on a fresh Debian 12 machine (as root): installs what the
# native build needs, builds the plug-in and pixtagger-host in build/linux,
# and classifies the shipped example images with the shipped rules.
# Extra arguments go to `pixtagger-host classify` (for example --json).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh native
cmake -S . -B build/linux -G Ninja -Wno-dev -DPIXTAGGER_TESTS=OFF -DPIXTAGGER_BENCHMARKS=OFF >/dev/null
ninja -C build/linux pixtagger pixtagger-host >/dev/null
exec build/linux/pixtagger-host classify "$@" examples/images
