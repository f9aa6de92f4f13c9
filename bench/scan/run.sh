#!/usr/bin/env bash
# A 300-dpi colour A4 page (210 x 297 mm, 2480 x 3507 pixels; the test backend's area is widened
# from its 200 mm default in its configuration) from SANE's test backend through the TWAIN source
# manager and the SANE source into a bitmap file (vela-cli scan, the window's component), against
# scanimage writing the same page, in the same run. The window's path is bench_scan (the
# window's TWAIN sequence into zScan.bmp in a process holding only the scanning parts: a scan
# in the window does not start the window); vela-cli scan is measured too, with the start-up
# of a program that links every component. Prints times, peak memory and ratios.
# The target ratio is the session's: from loading the source manager to unloading it (listing
# and opening the source, the device read on the source's thread, the hand-over, zScan.bmp
# written), what a scan costs in the running window before the viewer shows the file; against
# scanimage's whole run of the same device with the same options (both take them from
# test.conf; the pixels are compared), in the same round, as the machine is shared.
# usage: bench/scan/run.sh [BUILD_DIR] [ROUNDS]
set -euo pipefail
build="${1:-build/default}"
rounds="${2:-5}"
cli="$build/tools/vela-cli/vela-cli"
scan="$build/bench/scan/bench_scan"
source="Noname frontend-tester"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
echo test > "$work/dll.conf"
cat > "$work/test.conf" <<CONF
number_of_devices 1
mode Color
depth 8
resolution 300
test-picture "Color pattern"
geometry_max 300.0
tl_x 0.0
tl_y 0.0
br_x 210.0
br_y 297.0
CONF
export SANE_CONFIG_DIR="$work" VELA_TWAIN_REGISTRY="$work/registry.json" QT_QPA_PLATFORM=offscreen

# Wall seconds (to the microsecond) and peak resident kilobytes of a command; a run that hangs
# (scanimage with the test backend deadlocks now and then, in a futex wait of its single thread)
# is tried again, up to five times.
measure() {
    for try in 1 2 3 4 5; do
        local start=$EPOCHREALTIME
        if timeout 30 /usr/bin/time -f "%M" -o "$work/time" "$@" >/dev/null 2>&1; then
            local end=$EPOCHREALTIME
            echo "$(python3 -c "print('%.3f' % ($end - $start))") $(tail -1 "$work/time")"
            return
        fi
        echo "bench/scan: a run of $1 failed or hung (try $try)" >&2
    done
    exit 1
}

win_t=(); win_s=(); win_m=(); cli_t=(); cli_m=(); ref_t=(); ref_m=()
for ((i = 0; i < rounds; i++)); do
    read -r t m < <(measure "$scan" "$source" "$work")
    win_t+=("$t"); win_m+=("$m"); win_s+=("$(cat "$work/session.txt")")
    read -r t m < <(measure scanimage -d test:0 --format=tiff -o "$work/ref.tiff")
    ref_t+=("$t"); ref_m+=("$m")
    read -r t m < <(measure "$cli" scan --no-ui --source "$source" "$work/cli.bmp")
    cli_t+=("$t"); cli_m+=("$m")
done
read -r _ win_idle < <(measure "$scan" "$source" "$work" --idle)
# A five-page feeder batch through the source's window, against that window's idle memory:
# memory must not grow with the batch.
read -r feed_t feed_m < <(measure "$scan" "$source" "$work" --feeder 5)
read -r _ feed_idle < <(measure "$scan" "$source" "$work" --feeder 0)
read -r cli_idle_t cli_idle < <(measure "$cli" scan --list)
best() { printf '%s\n' "$@" | sort -n | head -1; }
# The session against scanimage of the same round: both met the same moment of a shared machine.
ratios=(); for ((i = 0; i < rounds; i++)); do ratios+=("$(python3 -c "print('%.2f' % (${win_s[i]} / ${ref_t[i]}))")"); done
wt=$(best "${win_t[@]}"); ws=$(best "${win_s[@]}"); ct=$(best "${cli_t[@]}"); rt=$(best "${ref_t[@]}")
wm=$(best "${win_m[@]}"); cm=$(best "${cli_m[@]}"); rm=$(best "${ref_m[@]}")
image=$(stat -c %s "$work/zScan.bmp")
cmp -s "$work/zScan.bmp" "$work/cli.bmp" || echo "bench/scan: the two bitmaps differ" >&2
# Like with like: scanimage's page (same device, same options from test.conf) has our pixels.
scanimage -d test:0 --format=pnm -o "$work/ref.ppm"
python3 - "$work/ref.ppm" "$work/zScan.bmp" <<'PY' || echo "bench/scan: scanimage's page and zScan.bmp differ" >&2
import struct, sys
ppm, bmp = (open(f, 'rb').read() for f in sys.argv[1:])
# P6, scanimage's comment line, width height, maximum, then the pixels
magic, comment, size, _, pixels = ppm.split(b'\n', 4)
width, height = map(int, size.split())
offset, (w, h) = struct.unpack_from('<I', bmp, 10)[0], struct.unpack_from('<ii', bmp, 18)
row = (w * 3 + 3) // 4 * 4
assert magic == b'P6' and comment.startswith(b'#') and (w, h) == (width, height) and len(pixels) == 3 * w * h
for y in range(h):
    at = offset + (h - 1 - y) * row
    ours, theirs = bmp[at:at + 3 * w], pixels[3 * w * y:3 * w * (y + 1)]
    assert ours[2::3] == theirs[0::3] and ours[1::3] == theirs[1::3] and ours[0::3] == theirs[2::3], y
PY
echo "session and scanimage by round (s): ${win_s[*]} / ${ref_t[*]}"
echo "page: $(python3 -c "import struct;d=open('$work/zScan.bmp','rb').read(26);print('%dx%d' % struct.unpack('<ii', d[18:26]))"), bitmap $image bytes; best of $rounds"
echo "TWAIN -> zScan.bmp (bench_scan): ${wt}s, peak ${wm} KiB, idle ${win_idle} KiB"
echo "  of which the TWAIN session (manager loaded to unloaded): ${ws}s"
echo "vela-cli scan:                   ${ct}s, peak ${cm} KiB, idle (--list) ${cli_idle} KiB in ${cli_idle_t}s"
echo "scanimage -> tiff:               ${rt}s, peak ${rm} KiB"
echo "five-page feeder batch (bench_scan --feeder 5): ${feed_t}s, peak ${feed_m} KiB, idle with the source's window ${feed_idle} KiB"
python3 - "$wt" "$ct" "$rt" "$wm" "$win_idle" "$cm" "$cli_idle" "$image" "$ws" "$feed_m" "$feed_idle" "${ratios[@]}" <<'PY'
import statistics, sys
wt, ct, rt, wm, wi, cm, ci, image, ws, fm, fi = map(float, sys.argv[1:12])
rounds = sorted(map(float, sys.argv[12:]))
ratio = lambda a: a / rt if rt else float('inf')
print("time ratio TWAIN session (a scan in the running window) / scanimage, by round: median %.2f"
      " (target <= 1.3), from %.2f to %.2f; of the best times %.2f"
      % (statistics.median(rounds), rounds[0], rounds[-1], ratio(ws)))
print("time ratio TWAIN -> zScan.bmp process / scanimage: %.2f" % ratio(wt))
print("time ratio vela-cli scan / scanimage:      %.2f" % ratio(ct))
print("memory above idle, TWAIN -> zScan.bmp: %.1f MiB = %.2f images (target <= 2)" % ((wm - wi) / 1024, (wm - wi) * 1024 / image))
print("memory above idle, vela-cli scan:      %.1f MiB = %.2f images" % ((cm - ci) / 1024, (cm - ci) * 1024 / image))
print("memory above idle, five-page batch:    %.1f MiB = %.2f images (target <= 2)" % ((fm - fi) / 1024, (fm - fi) * 1024 / image))
PY
