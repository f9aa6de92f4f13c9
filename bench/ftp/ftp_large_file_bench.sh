#!/usr/bin/env bash
# A 3 GiB sparse file up and down with vela-cli over loopback (pyftpdlib), then both
# resumes from an offset past 2 GiB: sizes and offsets beyond 32 bits really used.
# Compares sizes and SHA-256 sums after each step, prints times and peak memory.
# Not run by the test suite (it writes about 10 GB and takes minutes).
#
# usage: bench/ftp/ftp_large_file_bench.sh [VELA_CLI] [WORK_DIR]
set -euo pipefail
. "$(dirname "$0")/pyftpd.sh"
use_cli "${1:-}"
base="${2:-${TMPDIR:-/tmp}}"

size=$((3 * 1024 * 1024 * 1024))
resume_at=$((2560 * 1024 * 1024)) # 2.5 GiB: a REST offset above 2^31
work="$(mktemp -d "$base/vela-large-XXXXXX")"
prepare_work
avail_kb="$(df -Pk "$work" | awk 'NR == 2 { print $4 }')"
[ "$avail_kb" -gt $((11 * 1024 * 1024)) ] || { echo "need 11 GB free in $base" >&2; exit 2; }

# Sparse, with marks at both ends and around the 2 GiB and 4 GiB-minus boundaries, so a
# misplaced block changes the sum.
src="$work/local/big.bin"
truncate -s "$size" "$src"
for offset in 0 $((2 ** 31 - 4096)) $((2 ** 31 + 12345)) "$resume_at" $((size - 65536)); do
  head -c 65536 /dev/urandom | dd of="$src" bs=65536 seek="$offset" oflag=seek_bytes conv=notrunc status=none
done
truncate -s "$size" "$src"
want="$(sha256sum < "$src" | cut -d' ' -f1)"

start_pyftpd "$work/home"
account=(--host 127.0.0.1 --port "$port" --user bench --password bench --timeout 60)

peak=0
# Runs one vela-cli transfer; prints its wall time and the byte count it reports.
run() {
  local label="$1"; shift
  /usr/bin/time -v -o "$work/time.txt" "$cli" "$@" > /dev/null 2> "$work/cli.err" ||
    { echo "$label failed:" >&2; cat "$work/cli.err" >&2; exit 1; }
  local wall kb bytes
  wall="$(awk -F': ' '/Elapsed \(wall clock\)/{print $2}' "$work/time.txt")"
  kb="$(awk -F': ' '/Maximum resident set size/{print $2}' "$work/time.txt")"
  [ "$kb" -gt "$peak" ] && peak="$kb"
  bytes="$(grep -Eo '(stored|received) [0-9]+ bytes' "$work/cli.err" | awk '{print $2}')"
  printf '%-26s %9s  %12s bytes moved  %4d MB peak\n' "$label" "$wall" "$bytes" "$((kb / 1024))"
}
check() {
  local label="$1" file="$2" got
  [ "$(stat -c %s "$file")" -eq "$size" ] || { echo "$label: size $(stat -c %s "$file")" >&2; exit 1; }
  got="$(sha256sum < "$file" | cut -d' ' -f1)"
  [ "$got" = "$want" ] || { echo "$label: checksum differs" >&2; exit 1; }
  echo "  $label: $size bytes, sha256 ok"
}

echo "file: $size bytes (sparse), resume offset $resume_at, server: pyftpdlib on 127.0.0.1"
run "put (active)" put "${account[@]}" "$src" big.bin
check "server copy" "$work/home/big.bin"
run "get (passive)" get "${account[@]}" --passive big.bin "$work/local/back.bin"
check "downloaded copy" "$work/local/back.bin"

truncate -s "$resume_at" "$work/local/back.bin"
run "get --resume" get "${account[@]}" --resume big.bin "$work/local/back.bin"
check "resumed download" "$work/local/back.bin"
truncate -s "$resume_at" "$work/home/big.bin"
run "put --resume" put "${account[@]}" --resume "$src" big.bin
check "resumed upload" "$work/home/big.bin"
echo "vela-cli peak resident memory: $((peak / 1024)) MB"
