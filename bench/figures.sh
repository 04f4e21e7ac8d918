#!/usr/bin/env bash
# The load and speed figures of bench/README.md, each side by side in one run, with the
# machine's cores, its load and where each process ran. Servers (and the PostgreSQL
# cluster) are pinned to SERVER_CPU, the load generator to CLIENT_CPU.
#
#   bash bench/figures.sh [cpu] [lists] [lists-pg] [memory] [held] [client] [decode] [processes]
#
# Environment: BUILD (build/default), SERVER_CPU (1), CLIENT_CPU (0), SECONDS_PER_SIDE (10),
# ROUNDS (3). Needs redis-server (Debian's redis-server package) for cpu and memory, and
# PostgreSQL (postgresql) for lists-pg and processes. Nothing here asserts a time.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${BUILD:-build/default}
server_bin=$build/app/vantrell-server
loadgen=$build/bench/vantrell-loadgen
scpu=${SERVER_CPU:-1}
ccpu=${CLIENT_CPU:-0}
secs=${SECONDS_PER_SIDE:-10}
rounds=${ROUNDS:-3}
work=$(mktemp -d /tmp/vantrell-figures-XXXXXX)
chmod 755 "$work" # the cluster's user must reach its folder below it
pids=()
pgbin=
pgdir=

stop_cluster() {
  if [ -n "$pgdir" ] && [ -f "$pgdir/data/postmaster.pid" ]; then
    run_pg pg_ctl -D "$pgdir/data" -m fast stop >/dev/null 2>&1 || true
  fi
}
cleanup() {
  for p in "${pids[@]}"; do kill -TERM "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  stop_cluster
  rm -rf "$work"
}
trap cleanup EXIT

machine() {
  echo "== $1"
  echo "   $(date -u +%FT%TZ), $(nproc) cores ($(lscpu | sed -n 's/^Model name: *//p')), load $(cut -d' ' -f1-3 /proc/loadavg)"
  echo "   servers on CPU $scpu, load generator on CPU $ccpu (taskset)"
}

median() { sort -g | awk '{v[NR]=$1} END{print v[int((NR+1)/2)]}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN{ if (b > 0) printf "%.2f", a / b; else print "-" }'; }

lg() { taskset -c "$ccpu" "$loadgen" "$@"; }

# start_server NAME FLAGS...: vantrell-server on a free loopback port, pinned; sets
# server_pid and server_port.
start_server() {
  local log=$work/server-$1.log
  shift
  taskset -c "$scpu" "$server_bin" --listen 127.0.0.1:0 "$@" 2>"$log" &
  server_pid=$!
  pids+=("$server_pid")
  for _ in $(seq 200); do
    server_port=$(sed -n 's/.*listening reason="port \([0-9]*\).*/\1/p' "$log" | head -n1)
    [ -n "$server_port" ] && return 0
    kill -0 "$server_pid" 2>/dev/null || break
    sleep 0.1
  done
  cat "$log" >&2
  return 1
}
stop() { kill -TERM "$1" 2>/dev/null || true; wait "$1" 2>/dev/null || true; }

free_port() { python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }

start_redis() {
  command -v redis-server >/dev/null || { echo "redis-server is missing: apt-get install redis-server" >&2; exit 1; }
  redis_port=$(free_port)
  taskset -c "$scpu" redis-server --port "$redis_port" --bind 127.0.0.1 --save "" --appendonly no \
    --maxclients 20000 >"$work/redis.log" 2>&1 &
  redis_pid=$!
  pids+=("$redis_pid")
  for _ in $(seq 100); do
    redis-cli -p "$redis_port" ping >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  cat "$work/redis.log" >&2
  return 1
}

run_pg() {
  if [ "$(id -u)" = 0 ]; then
    runuser -u postgres -- "$pgbin/$1" "${@:2}"
  else
    "$pgbin/$1" "${@:2}"
  fi
}
# A throw-away cluster (fsync off) on a free loopback port, pinned with the servers.
start_cluster() {
  pgbin=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -n1)
  pgdir=$work/pg
  mkdir -p "$pgdir"
  [ "$(id -u)" = 0 ] && chown postgres "$pgdir"
  pgport=$(free_port)
  run_pg initdb -D "$pgdir/data" -A trust -U postgres -E UTF8 --locale=C >/dev/null
  taskset -c "$scpu" runuser -u postgres -- "$pgbin/pg_ctl" -D "$pgdir/data" -l "$pgdir/log" -w \
    -o "-p $pgport -k $pgdir -c listen_addresses=127.0.0.1 -c fsync=off -c synchronous_commit=off -c full_page_writes=off" \
    start >/dev/null
}
# A database $1 in it; sets pg_url (for --db) and pg_keywords (for libpq).
pg_database() {
  run_pg createdb -h 127.0.0.1 -p "$pgport" -U postgres "$1"
  pg_keywords="host=127.0.0.1 port=$pgport dbname=$1 user=postgres"
  pg_url="postgresql://postgres@127.0.0.1:$pgport/$1"
}

fig_cpu() {
  machine "server CPU per round trip, 256 connections, no database: vantrell-server answering version checks against redis-server answering PING, the same closed-loop client"
  local ratios=()
  for round in $(seq "$rounds"); do
    start_server cpu --db sqlite::memory: --threads 1 --min-version 9.0 --download http://example.test/download \
      --max-per-address 1000 --login-timeout 3600 --heartbeat 3600
    lg --connect "127.0.0.1:$server_port" --pid "$server_pid" --mix version --active 256 --idle 0 \
      --seconds "$secs" --settle 1 >"$work/cpu-v.txt"
    stop "$server_pid"
    start_redis
    lg --redis --connect "127.0.0.1:$redis_port" --pid "$redis_pid" --active 256 --idle 0 --seconds "$secs" \
      --settle 1 >"$work/cpu-r.txt"
    stop "$redis_pid"
    local v r vrate rrate
    v=$(sed -n 's/.* = \([0-9.]*\) us per request.*/\1/p' "$work/cpu-v.txt")
    r=$(sed -n 's/.* = \([0-9.]*\) us per request.*/\1/p' "$work/cpu-r.txt")
    vrate=$(awk '$1 == "all" {print $4}' "$work/cpu-v.txt")
    rrate=$(awk '$1 == "all" {print $4}' "$work/cpu-r.txt")
    ratios+=("$(ratio "$v" "$r")")
    echo "   round $round: vantrell-server $v us CPU per round trip ($vrate /s), redis-server $r us ($rrate /s): ratio ${ratios[-1]}"
    grep -E "^errors" "$work/cpu-v.txt" "$work/cpu-r.txt" | sed 's/^/   /'
  done
  echo "   median ratio $(printf '%s\n' "${ratios[@]}" | median)"
}

# lists_round DB-FLAG BARE-FLAG BARE-TARGET: prints the round, leaves its ratio in $work/ratio.
lists_round() {
  start_server lists --db "$1" --threads 1 --max-per-address 1000 --login-timeout 3600
  lg --connect "127.0.0.1:$server_port" --pid "$server_pid" --mix list --active 256 --idle 0 --purchasers 16 \
    --seed-orders 30 --seconds "$secs" --settle 1 "$2" "$3" --bare-cpus "$scpu" >"$work/lists.txt" || true
  stop "$server_pid"
  grep -E "order list |^errors|^bare|^order lists|CPU" "$work/lists.txt" | sed 's/^/     /'
  sed -n 's/.*: ratio \([0-9.]*\)$/\1/p' "$work/lists.txt" >"$work/ratio"
}

fig_lists() {
  machine "logged-in order lists (COUNT + first page), 256 connections, SQLite; the server with --threads 1, the bare loop on the server's CPU"
  local ratios=()
  for round in $(seq "$rounds"); do
    echo "   round $round:"
    lists_round "sqlite:$work/lists$round.db" --bare-sqlite "$work/lists$round.db"
    ratios+=("$(cat "$work/ratio")")
  done
  echo "   median ratio $(printf '%s\n' "${ratios[@]}" | grep -E '^[0-9.]+$' | median)"
}

fig_lists_pg() {
  start_cluster
  machine "logged-in order lists, 256 connections, PostgreSQL $("$pgbin/postgres" --version | awk '{print $3}') (fsync off), server --threads 1 and the cluster on the same CPU, the bare libpq loop too"
  local ratios=()
  for round in $(seq "$rounds"); do
    pg_database "lists$round"
    echo "   round $round:"
    lists_round "$pg_url" --bare-postgres "$pg_keywords"
    ratios+=("$(cat "$work/ratio")")
  done
  echo "   median ratio $(printf '%s\n' "${ratios[@]}" | grep -E '^[0-9.]+$' | median)"
  stop_cluster
}

fig_memory() {
  # Both cores for the 5000 logins (their password checks dominate the time); memory is
  # not a matter of placement.
  local saved=$scpu
  scpu=0,1
  machine "memory per idle logged-in connection, 5000 connections, against redis-server with 5000 idle connections; ulimit -n $(ulimit -n)"
  start_server memory --db "sqlite:$work/memory.db" --threads 2 --max-per-address 6000 --login-timeout 3600
  for wave in 1 2; do
    "$loadgen" --connect "127.0.0.1:$server_port" --pid "$server_pid" --idle 5000 --active 0 --seconds 5 \
      --seed-orders 0 --purchasers 16 --login-parallel 16 --settle 5 >"$work/memory.txt"
    echo "   vantrell-server, wave $wave of 5000:"
    grep -E "^opened|^errors|RSS|anonymous" "$work/memory.txt" | sed 's/^/     /'
  done
  stop "$server_pid"
  start_redis
  "$loadgen" --redis --connect "127.0.0.1:$redis_port" --pid "$redis_pid" --idle 5000 --active 0 --seconds 5 \
    --settle 5 >"$work/memory.txt"
  stop "$redis_pid"
  echo "   redis-server:"
  grep -E "^opened|^errors|RSS|anonymous" "$work/memory.txt" | sed 's/^/     /'
  scpu=$saved
}

fig_held() {
  local think=${HELD_THINK:-1}
  machine "held load: 5000 idle + 500 active logged-in connections for 60 s (active: order lists, goods lists and orders 8:1:1, ${think} s between a reply and the next request on average), heartbeat 30 s; ulimit -n $(ulimit -n)"
  start_server held --db "sqlite:$work/held.db" --threads 1 --max-per-address 6000 --login-timeout 3600
  lg --connect "127.0.0.1:$server_port" --pid "$server_pid" --idle 5000 --active 500 --seconds 60 --think "$think" \
    --purchasers 32 --seed-orders 10 --login-parallel 16 --settle 2 --mix list=8,goods=1,order=1 >"$work/held.txt" || true
  stop "$server_pid"
  sed 's/^/   /' "$work/held.txt"
}

fig_client() {
  machine "request client, 1 MiB payloads, against a plain socket reading 10,240-byte blocks; client, echo peer and plain socket all on CPU $scpu"
  taskset -c "$scpu" "$build/bench/bench_requestclient" | sed 's/^/   /'
}

fig_decode() {
  machine "frame decode of 1 MiB frames against a memcpy of the same payload bytes, CPU $scpu"
  taskset -c "$scpu" "$build/bench/bench_codec" --benchmark_filter='(decodeFrames|copyPayloads)/1048576' \
    --benchmark_repetitions=9 --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true >"$work/decode.txt" 2>&1
  local decode copy
  decode=$(awk '/decodeFrames\/1048576_median/ {print $4}' "$work/decode.txt")
  copy=$(awk '/copyPayloads\/1048576_median/ {print $4}' "$work/decode.txt")
  echo "   median CPU time per MiB: decode $decode ns, memcpy $copy ns: decode at $(ratio "$copy" "$decode") of memcpy's speed"
}

fig_processes() {
  machine "orders/s with 2 server processes over PostgreSQL against 1 (bench_server_processes, unpinned)"
  "$build/bench/bench_server_processes" --clients 8 --seconds "$secs" --rounds "$rounds" --threads 2 | sed 's/^/   /'
}

figures=("$@")
[ ${#figures[@]} -gt 0 ] || figures=(cpu lists lists-pg memory held client decode processes)
for figure in "${figures[@]}"; do
  case $figure in
  cpu) fig_cpu ;;
  lists) fig_lists ;;
  lists-pg) fig_lists_pg ;;
  memory) fig_memory ;;
  held) fig_held ;;
  client) fig_client ;;
  decode) fig_decode ;;
  processes) fig_processes ;;
  *) echo "unknown figure $figure" >&2; exit 2 ;;
  esac
done
