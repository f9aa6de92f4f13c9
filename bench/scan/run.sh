#!/usr/bin/env bash
# A 300-dpi colour page of 200 x 200 mm (the largest page SANE's test backend offers; A4 is
# beyond it) from SANE's test backend through the TWAIN source manager and the
# SANE source into a bitmap file (vela-cli scan, the window's component), against scanimage
# writing the same page, in the same run. Prints times, peak memory and ratios.
# usage: bench/scan/run.sh [BUILD_DIR] [ROUNDS]
set -euo pipefail
build="${1:-build/default}"
rounds="${2:-5}"
cli="$build/tools/vela-cli/vela-cli"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
echo test > "$work/dll.conf"
cat > "$work/test.conf" <<CONF
number_of_devices 1
mode Color
depth 8
resolution 300
test-picture "Color pattern"
tl_x 0.0
tl_y 0.0
br_x 200.0
br_y 200.0
CONF
export SANE_CONFIG_DIR="$work" VELA_TWAIN_REGISTRY="$work/registry.json" QT_QPA_PLATFORM=offscreen

# Wall seconds and peak resident kilobytes of a command.
measure() {
    /usr/bin/time -f "%e %M" -o "$work/time" "$@" >/dev/null 2>&1
    cat "$work/time"
}
best() { sort -n | head -1; }

vela_t=(); vela_m=(); ref_t=(); ref_m=()
for ((i = 0; i < rounds; i++)); do
    read -r t m < <(measure "$cli" scan --no-ui --source "Noname frontend-tester" "$work/zScan.bmp")
    vela_t+=("$t"); vela_m+=("$m")
    read -r t m < <(measure scanimage -d test:0 --format=tiff -o "$work/ref.tiff")
    ref_t+=("$t"); ref_m+=("$m")
done
read -r idle_t idle < <(measure "$cli" scan --list)
vt=$(printf '%s\n' "${vela_t[@]}" | best); rt=$(printf '%s\n' "${ref_t[@]}" | best)
vm=$(printf '%s\n' "${vela_m[@]}" | best)
image=$(stat -c %s "$work/zScan.bmp")
echo "page: $(python3 -c "import struct;d=open('$work/zScan.bmp','rb').read(26);print('%dx%d' % struct.unpack('<ii', d[18:26]))") bytes $image"
echo "vela-cli scan (TWAIN -> zScan.bmp): best ${vt}s, peak ${vm} KiB"
echo "scanimage (-> tiff):                best ${rt}s"
echo "idle (vela-cli scan --list):        best ${idle_t}s, peak ${idle} KiB"
python3 - "$vt" "$rt" "$vm" "$idle" "$image" "$idle_t" <<'PY'
import sys
vt, rt, vm, idle, image = map(float, sys.argv[1:6])
print("time ratio vela/scanimage: %.2f (target <= 1.3)" % (vt / rt if rt else float('inf')))
print("time ratio without start-up (vela - idle run)/scanimage: %.2f" % ((vt - float(sys.argv[6])) / rt if rt else float('inf')))
print("memory above idle: %.1f MiB = %.2f images (target <= 2)" % ((vm - idle) / 1024, (vm - idle) * 1024 / image))
PY
