#!/usr/bin/env bash
# Builds the Debian packages into a temporary folder and checks what they hold, reading
# them with dpkg-deb only (nothing is installed). Any missing tool fails the check.
#
#   check-packages.sh CPACK CPACK_CONFIG VERSION
set -euo pipefail

cpack=$1
config=$2
version=$3

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
for tool in "$cpack" dpkg-deb dpkg-shlibdeps file tar; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool not found (scripts/install-deps.sh installs it)" >&2; exit 1; }
done

work=$(mktemp -d /tmp/vantrell-packages-XXXXXX)
trap 'rm -rf "$work"' EXIT

if ! "$cpack" -G DEB --config "$config" -B "$work" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log" >&2
  echo "FAIL: cpack did not make the packages" >&2
  exit 1
fi

arch=$(dpkg --print-architecture)
server=$(ls "$work"/vantrell-server_*.deb 2>/dev/null || true)
client=$(ls "$work"/vantrell-client_*.deb 2>/dev/null || true)
[ -n "$server" ] || { ls "$work" >&2; echo "FAIL: no vantrell-server_*.deb" >&2; exit 1; }
[ -n "$client" ] || { ls "$work" >&2; echo "FAIL: no vantrell-client_*.deb" >&2; exit 1; }
for deb in "$server" "$client"; do
  case $(basename "$deb") in
  *_"${version}"_"${arch}".deb) ;;
  *) fail "$(basename "$deb") is not named <name>_${version}_${arch}.deb" ;;
  esac
done

# has LISTING PATTERN WHAT: one line of the listing matches the extended regex.
has() {
  grep -Eq -- "$2" <<<"$1" || fail "$3"
}
lacks() {
  if grep -Eq -- "$2" <<<"$1"; then fail "$3"; fi
}
# The text of one file in a package.
member() {
  dpkg-deb --fsys-tarfile "$1" | tar -xO "$2"
}
# One control file (postinst, conffiles, ...) of a package, extracted to $work/control-<name>/.
control() {
  local into="$work/control-$(basename "$1" .deb)"
  [ -d "$into" ] || dpkg-deb -e "$1" "$into"
  echo "$into/$2"
}

# ---- server ----
listing=$(dpkg-deb -c "$server")
info=$(dpkg-deb -I "$server")
has "$listing" '^-rwxr-xr-x root/root .* \./usr/bin/vantrell-server$' "server: /usr/bin/vantrell-server, executable, owned by root"
has "$listing" '^-rw-r--r-- root/root .* \./(usr/)?lib/systemd/system/vantrell-server\.service$' "server: the systemd unit"
has "$listing" '^-rw-r--r-- root/root .* \./etc/default/vantrell-server$' "server: /etc/default/vantrell-server"
has "$listing" '\./usr/share/doc/vantrell-server/server\.md$' "server: its documentation"
lacks "$listing" '\./usr/bin/vantrell$|vantrell-tour|\.desktop$' "server: holds client files"
lacks "$listing" '\./usr/(include|lib/cmake)|\.a$' "server: holds build files"

has "$info" '^ Package: vantrell-server$' "server: package name"
has "$info" "^ Version: ${version}\$" "server: version ${version}"
has "$info" "^ Architecture: ${arch}\$" "server: architecture ${arch}"
has "$info" '^ Section: net$' "server: section"
depends=$(grep -E '^ Depends:' <<<"$info" || true)
for library in adduser libc6 libstdc\\+\\+6 libsodium23 libpq5 libssl3 'libsoci-core[0-9.]*' 'libsoci-sqlite3-[0-9.]*' \
  'libsoci-postgresql[0-9.]*'; do
  has "$depends" "[ ,]${library}( |,|$)" "server: Depends names ${library//\\/}: ${depends}"
done
has "$info" ' postinst$| postinst ' "server: a postinst"
for script in postinst prerm postrm conffiles; do
  has "$info" "[0-9]+ bytes, +[0-9]+ lines +[* ]? *${script}( |$)" "server: control member ${script}"
done

unit=$(member "$server" ./usr/lib/systemd/system/vantrell-server.service 2>/dev/null ||
  member "$server" ./lib/systemd/system/vantrell-server.service)
for line in '^User=vantrell$' '^Group=vantrell$' '^StateDirectory=vantrell$' \
  '^EnvironmentFile=-?/etc/default/vantrell-server$' '^ExecStart=/usr/bin/vantrell-server \$VANTRELL_SERVER_ARGS$' \
  '^NoNewPrivileges=yes$' '^ProtectSystem=strict$' '^ProtectHome=yes$' '^PrivateTmp=yes$' \
  '^ReadWritePaths=/var/lib/vantrell$' '^WantedBy=multi-user\.target$' '^\[Install\]$' '^\[Service\]$'; do
  has "$unit" "$line" "server unit: no line ${line}"
done

flags=$(member "$server" ./etc/default/vantrell-server)
has "$flags" '^VANTRELL_SERVER_ARGS="--db sqlite:/var/lib/vantrell/vantrell\.db --listen [0-9.:]+"$' \
  "flags file: the default VANTRELL_SERVER_ARGS"

conffiles=$(cat "$(control "$server" conffiles)")
has "$conffiles" '^/etc/default/vantrell-server$' "server: /etc/default/vantrell-server is a conffile"
postinst=$(control "$server" postinst)
prerm=$(control "$server" prerm)
postrm=$(control "$server" postrm)
for script in "$postinst" "$prerm" "$postrm"; do
  [ -x "$script" ] || fail "server: $(basename "$script") is not executable"
  sh -n "$script" || fail "server: $(basename "$script") is not valid sh"
  head -n1 "$script" | grep -q '^#!/bin/sh' || fail "server: $(basename "$script") does not start with #!/bin/sh"
done
has "$(cat "$postinst")" 'adduser --system --group .*vantrell' "postinst: adds the system user vantrell"
has "$(cat "$postinst")" 'deb-systemd-helper enable "\$unit"' "postinst: enables the unit"
lacks "$(cat "$postinst")" 'systemctl (start|restart) ' "postinst: starts the server on a first install"
has "$(cat "$prerm")" 'systemctl stop "\$unit"' "prerm: stops the server on removal"
has "$(cat "$postrm")" 'deb-systemd-helper purge "\$unit"' "postrm: forgets the unit on purge"
lacks "$(cat "$postrm")" 'rm -r' "postrm: deletes data"

binary="$work/vantrell-server.bin"
member "$server" ./usr/bin/vantrell-server >"$binary"
file -b "$binary" | grep -q 'ELF .*executable' || fail "server: /usr/bin/vantrell-server is not an ELF executable: $(file -b "$binary")"
file -b "$binary" | grep -q 'not stripped' && fail "server: binary not stripped"

# ---- client ----
listing=$(dpkg-deb -c "$client")
info=$(dpkg-deb -I "$client")
has "$listing" '^-rwxr-xr-x root/root .* \./usr/bin/vantrell$' "client: /usr/bin/vantrell, executable"
has "$listing" '\./usr/share/applications/vantrell\.desktop$' "client: the desktop file"
has "$listing" '\./usr/share/icons/hicolor/scalable/apps/vantrell\.svg$' "client: the icon"
lacks "$listing" 'vantrell-server|vantrell-tour|systemd' "client: holds server files"
has "$info" '^ Package: vantrell-client$' "client: package name"
has "$info" "^ Version: ${version}\$" "client: version ${version}"
depends=$(grep -E '^ Depends:' <<<"$info" || true)
for library in fonts-wqy-microhei libc6 'libqt6widgets6[a-z]*'; do
  has "$depends" "[ ,]${library}( |,|$)" "client: Depends names ${library}: ${depends}"
done

desktop=$(member "$client" ./usr/share/applications/vantrell.desktop)
for line in '^\[Desktop Entry\]$' '^Type=Application$' '^Exec=vantrell$' '^Icon=vantrell$' '^Name=.+' \
  '^Categories=.*;$'; do
  has "$desktop" "$line" "desktop file: no line ${line}"
done
icon=$(member "$client" ./usr/share/icons/hicolor/scalable/apps/vantrell.svg)
has "$icon" '<svg ' "client: the icon is not an SVG"

binary="$work/vantrell.bin"
member "$client" ./usr/bin/vantrell >"$binary"
file -b "$binary" | grep -q 'ELF .*executable' || fail "client: /usr/bin/vantrell is not an ELF executable"

if [ "$failures" -gt 0 ]; then
  echo "$failures package check(s) failed" >&2
  exit 1
fi
echo "packages: $(basename "$server") and $(basename "$client") hold what they should"
