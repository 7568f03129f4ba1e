#!/usr/bin/env bash
# Starts the demo under Xvfb, drives it to a marked comparison of two procedures and saves
# pictures of the main window and the report window in docs/, then the main window maximized on
# a 1600 x 1000 screen.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${ORVANE_BUILD_DIR:-$ROOT/build}
mkdir -p "$ROOT/docs"
ninja -C "$BUILD" demo_shot orvane sqlsim >/dev/null
# The demo script starts the simulator, writes the demo configuration and runs the command.
ORVANE_DEMO_PROGRAM="$BUILD/tools/demo_shot/demo_shot" \
ORVANE_DEMO_ARGS="$ROOT/docs/demo-main.png $ROOT/docs/demo-report.png ${1:-}" \
    xvfb-run -a -s "-screen 0 1280x800x24" "$ROOT/scripts/demo" "$BUILD"
ORVANE_DEMO_PROGRAM="$BUILD/tools/demo_shot/demo_shot" \
ORVANE_DEMO_ARGS="--maximized $ROOT/docs/demo-maximized.png - ${1:-}" \
    xvfb-run -a -s "-screen 0 1600x1000x24" "$ROOT/scripts/demo" "$BUILD"
echo "Saved docs/demo-main.png, docs/demo-report.png and docs/demo-maximized.png"
