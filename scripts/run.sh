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

# TLS as a real installation would run it: a self-signed certificate for 127.0.0.1, made
# once, which the client pins through its user-data file (section 系统设置, GBK).
cert="$bin/demo-server.crt"
if [ ! -s "$cert" ] || [ ! -s "$bin/demo-server.key" ]; then
  openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 825 \
    -keyout "$bin/demo-server.key" -out "$cert" -subj "/CN=127.0.0.1" \
    -addext "subjectAltName=IP:127.0.0.1,DNS:localhost" 2>/dev/null
fi
python3 - "$bin/用户数据.txt" <<'PY'
import sys
path, wanted = sys.argv[1], {"加密连接": "1", "服务器证书": "demo-server.crt"}
try:
    lines = open(path, encoding="gbk").read().splitlines()
except FileNotFoundError:
    lines = []
out, section, done = [], None, set()
def rest():
    out.extend(f"{k}={v}" for k, v in wanted.items() if k not in done)
    done.update(wanted)
for line in lines:
    stripped = line.strip()
    if stripped.startswith("["):
        if section == "系统设置":
            rest()
        section = stripped.strip("[]")
    elif section == "系统设置" and "=" in stripped and stripped.split("=", 1)[0].strip() in wanted:
        key = stripped.split("=", 1)[0].strip()
        if key not in done:
            out.append(f"{key}={wanted[key]}")
            done.add(key)
        continue
    out.append(line)
if section == "系统设置":
    rest()
if len(done) < len(wanted):
    out.append("[系统设置]")
    rest()
open(path, "w", encoding="gbk", newline="\r\n").write("\n".join(out) + "\n")
PY

# 关于我们 and 使用帮助 open the demo's own pages of this checkout (docs/*.html).
pages="file://$PWD/docs"
pages=${pages// /%20}
pages=${pages//,/%2C}

"$bin/vantrell-server" --listen 127.0.0.1:8600 --db "sqlite:$data/vantrell.db" --demo \
  --tls-cert "$cert" --tls-key "$bin/demo-server.key" \
  --about "$pages/about.html" --help-url "$pages/help.html" &
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
  QT_QPA_PLATFORM=offscreen "$bin/vantrell-tour" --out "$out" --user-data "$bin/用户数据.txt"
  echo "No display: screenshots of every window are in $out"
fi
