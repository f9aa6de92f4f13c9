# Sourced by the FTP benchmarks: sets root (the source tree) and offers what they share.
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
server_pid=""

# use_cli [PATH]: cli := PATH, or the default build's vela-cli; ends the benchmark when there
# is no program there.
use_cli() {
  cli="${1:-$root/build/default/tools/vela-cli/vela-cli}"
  [ -x "$cli" ] || { echo "no vela-cli at $cli" >&2; exit 2; }
}

# prepare_work: the folders home (the server's) and local under $work, removed at exit with
# the server.
prepare_work() {
  trap 'if [ -n "$server_pid" ]; then kill "$server_pid" 2>/dev/null || true; fi; rm -rf "$work"' EXIT
  mkdir -p "$work/home" "$work/local"
}

# work_with_file SIZE_MB: a new $work (see prepare_work) whose local/file.bin holds SIZE_MB
# megabytes of random bytes, for a transfer against curl, which must be there.
work_with_file() {
  command -v curl >/dev/null || { echo "curl is missing" >&2; exit 2; }
  work="$(mktemp -d)"
  prepare_work
  head -c "$(($1 * 1000000))" /dev/urandom > "$work/local/file.bin"
}

# await_port NAME: waits for the server started with its output in $work/server.out to print
# its port; sets port, or ends the benchmark saying NAME did not start.
await_port() {
  for _ in $(seq 100); do
    grep -q '^PORT ' "$work/server.out" 2>/dev/null && break
    sleep 0.1
  done
  port="$(awk '/^PORT /{print $2}' "$work/server.out")"
  [ -n "$port" ] || { echo "$1 did not start" >&2; exit 1; }
}

# start_pyftpd [--tls CERT KEY] HOME: pyftpdlib (user and password "bench") serving HOME on
# 127.0.0.1; sets server_pid and port. Uses $root and $work.
start_pyftpd() {
  /usr/bin/python3 "$root/tests/fixtures/ftp/pyftpd_server.py" "$@" bench bench \
    > "$work/server.out" 2>/dev/null &
  server_pid=$!
  await_port pyftpdlib
}
