#!/usr/bin/env bash
# Start-up and shutdown of vela against a minimal Qt Widgets window and a bare window holding a web
# view, on a private Xvfb display; compare vela with the references of the same run.
# usage: bench/startup/run.sh [RUNS]   (after scripts/build default)
set -euo pipefail
cd "$(dirname "$0")/../.."
runs="${1:-7}"
build=build/default
work=$(mktemp -d)
trap 'kill $xvfb 2>/dev/null || true; rm -rf "$work"' EXIT
cp "$build/src/app/vela" "$work/vela"
Xvfb :97 -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
sleep 1
export DISPLAY=:97 TMPDIR="$work"
unset QT_QPA_PLATFORM
# The browser's sandbox cannot start as root; there a run without it is the only run.
[ "$(id -u)" -ne 0 ] || export QTWEBENGINE_DISABLE_SANDBOX=1
echo "minimal: $("$build/bench/startup/startup-timer" "$runs" "Minimal reference" "$build/bench/startup/bench-minimal-window")"
echo "webview: $("$build/bench/startup/startup-timer" "$runs" "Web view reference" "$build/bench/startup/bench-webview-window")"
echo "vela:    $("$build/bench/startup/startup-timer" "$runs" "Vela/OCR" "$work/vela")"
