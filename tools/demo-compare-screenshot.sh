#!/usr/bin/env bash
# Starts the demo under Xvfb, runs Compare All Objects on its two databases and saves a picture
# of the results window in docs/demo-compare-all.png, and one of the deployment script window
# made from it in docs/demo-deploy-script.png.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${ORVANE_BUILD_DIR:-$ROOT/build}
mkdir -p "$ROOT/docs"
ninja -C "$BUILD" demo_shot_compare sqlsim >/dev/null
ORVANE_DEMO_PROGRAM="$BUILD/tools/demo_shot/demo_shot_compare" \
ORVANE_DEMO_ARGS="$ROOT/docs/demo-compare-all.png ${1:-usp_Report_ReorderList} $ROOT/docs/demo-deploy-script.png" \
    xvfb-run -a -s "-screen 0 1280x800x24" "$ROOT/scripts/demo" "$BUILD"
echo "Saved docs/demo-compare-all.png and docs/demo-deploy-script.png"
