#!/usr/bin/env bash
# Memory of vela-cli put --tls while the server, after the upload and both closing alerts,
# sends FLOOD_MB megabytes of raw bytes before its final reply (the scripted server's "flood").
# Prints vela-cli's peak resident memory for the same upload without the flood (idle) and
# with it, and the difference, which must stay within 64 MB.
#
# usage: bench/ftp/ftps_flood_bench.sh [VELA_CLI] [FLOOD_MB]
set -euo pipefail
. "$(dirname "$0")/pyftpd.sh"
use_cli "${1:-}"
flood_mb="${2:-300}"
work="$(mktemp -d)"
prepare_work
head -c 1000000 /dev/urandom > "$work/local/file.bin"
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 \
  -subj /CN=bench -addext subjectAltName=IP:127.0.0.1 \
  -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
fingerprint="$(openssl x509 -noout -fingerprint -sha256 -in "$work/cert.pem")"

# peak_kb FLOOD_BYTES: vela-cli's peak resident memory in kB for one upload.
peak_kb() {
  printf '{"tls": ["%s", "%s"], "data": ["flood"], "flood_bytes": %d}\n' \
    "$work/cert.pem" "$work/key.pem" "$1" > "$work/script.json"
  /usr/bin/python3 "$root/tests/fixtures/ftp/scripted_server.py" "$work/script.json" \
    > "$work/server.out" 2>/dev/null &
  server_pid=$!
  await_port "the scripted server"
  VELA_FTP_PASSWORD=bench /usr/bin/time -f %M -o "$work/peak" "$cli" put --host 127.0.0.1 --port "$port" --user bench \
    --tls --fingerprint "$fingerprint" --passive "$work/local/file.bin" up.bin \
    > /dev/null 2> "$work/cli.err" < /dev/null || { cat "$work/cli.err" >&2; exit 1; }
  kill "$server_pid"; wait "$server_pid" 2>/dev/null || true; server_pid=""
  cat "$work/peak"
}

idle="$(peak_kb 0)"
flooded="$(peak_kb $((flood_mb * 1048576)))"
echo "vela-cli put --tls, peak resident memory: idle ${idle} kB, with ${flood_mb} MB after the upload ${flooded} kB, difference $(((flooded - idle) / 1024)) MB"
