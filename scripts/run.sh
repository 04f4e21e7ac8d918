#!/usr/bin/env bash
# Installs the dependencies, builds, starts the server on an embedded SQLite database
# with demo data and starts the client. Without a display the client walks through its
# windows on the offscreen platform and writes a screenshot of each.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)" --target vantrell vantrell-server vantrell-tour

bin=build/default/app
data=$(mktemp -d /tmp/vantrell-run.XXXXXX)
"$bin/vantrell-server" --listen 127.0.0.1:8600 --db "sqlite:$data/vantrell.db" --demo &
server=$!
trap 'kill $server 2>/dev/null; wait $server 2>/dev/null || true' EXIT
for _ in $(seq 50); do
  (exec 3<>/dev/tcp/127.0.0.1/8600) 2>/dev/null && break
  kill -0 $server 2>/dev/null || { echo "vantrell-server did not start" >&2; exit 1; }
  sleep 0.2
done

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "Demo accounts: supplier 'supplier' / 'demo1234', purchaser 'buyer' / 'demo1234'."
  "$bin/vantrell"
else
  out="$PWD/screenshots-out"
  QT_QPA_PLATFORM=offscreen "$bin/vantrell-tour" --out "$out"
  echo "No display: screenshots of every window are in $out"
fi
