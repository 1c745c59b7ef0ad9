#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Regenerates the pictures of the window in docs/screenshots/: the window
# after each command that draws a chart, for the bundled example and for the
# Phytophthora ramorum dataset with UTM coordinates; then every chart kind
# saved as a figure at 80 x 60 mm and 170 x 120 mm in docs/screenshots/figures/,
# shown side by side in the user guide. Runs headless under a virtual X
# display (xvfb-run, Debian package xvfb).
#
#   scripts/screenshots.sh [BUILD_DIR]     (default: build)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
tour=$build/src/app/vireltan-screenshots
if [[ ! -x $tour ]]; then
  cmake --build "$build" --target vireltan-screenshots
fi
out=$here/docs/screenshots
mkdir -p "$out"
# Figures of charts that no longer exist must not linger.
rm -rf "$out/figures"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The commands write their results beside the data file: work on copies.
cp "$here/examples/seagrass_meadow.txt" "$work/"
cp "$here/tests/data/pramorum_curry.txt" "$work/"
cp "$here/tests/data/pramorum_forest_nursery_nocoords.txt" "$work/"
cp "$here/tests/data/nancycats_colonies.txt" "$work/"
# A laptop's screen: the window opens within it, as most users see it.
run() { xvfb-run -a -s "-screen 0 1366x768x24" "$tour" "$out" "$work/$1" "$2" ${3:+"$3"}; }
run seagrass_meadow.txt example
run pramorum_curry.txt pramorum_curry
# The Populations menu on the forest and nursery isolates with their sites.
run pramorum_forest_nursery_nocoords.txt pramorum_sites \
  "$here/tests/data/peers/popgen/pramorum_forest_nursery_nocoords.populations.txt"
# The cats' colonies have positions: isolation by distance too.
run nancycats_colonies.txt cats "$here/tests/data/peers/popgen/nancycats_colonies.populations.txt"
echo "Screenshots written to $out"
