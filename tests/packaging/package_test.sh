#!/usr/bin/env bash
# The Debian package as a user gets it: built by CPack from the build tree, unpacked into a
# throw-away root (dpkg-deb -x), its layout, control fields and manual pages checked, and its
# programs run from that root on a demo installation made by its own sqlshell.
#   package_test.sh BUILD_DIR REPO
# Exits 77 (skipped) only when dpkg-deb is missing.
set -uo pipefail
build="$1"
repo="$2"
source "$repo/tests/fixtures/testlib.sh"

if ! command -v dpkg-deb >/dev/null; then
  echo "dpkg-deb is missing: the package cannot be built here"
  exit 77
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
if ! cpack --config "$build/CPackConfig.cmake" -B "$work/pkg" >"$work/cpack.out" 2>&1; then
  cat "$work/cpack.out" >&2
  echo "FAILED: cpack made no package" >&2
  exit 1
fi
deb="$(find "$work/pkg" -maxdepth 1 -name 'actualiza-catalogos_*.deb' -print -quit)"
check "cpack made actualiza-catalogos_VERSION_ARCH.deb" test -n "$deb"
[[ -n "$deb" ]] || { finish; exit 1; }

# Control fields: the shared libraries' packages, found by dpkg-shlibdeps, and the group's tool.
# Each dependency's package name alone, one a line.
depends="$(dpkg-deb -f "$deb" Depends | tr ',' '\n' | sed -E 's/^ +//; s/ .*//')"
for dependency in adduser libodbc2 libmdb3 libqt6widgets6 libsodium23 libssl3 libstdc++6; do
  check "Depends names $dependency" grep -qxF "$dependency" <<<"$depends"
done
check_eq "Recommends the FreeTDS ODBC driver" "tdsodbc" "$(dpkg-deb -f "$deb" Recommends)"
check "has postinst and postrm" bash -c "dpkg-deb -I '$deb' | grep -q postinst && dpkg-deb -I '$deb' | grep -q postrm"

# Every file where the manual pages say it is, and nothing else.
expected="./opt/actualiza-catalogos/Include/Datos Base.MDB
./opt/actualiza-catalogos/actualiza-catalogos
./usr/bin/actualiza-catalogos -> /opt/actualiza-catalogos/actualiza-catalogos
./usr/bin/sqlshell
./usr/bin/tds-server
./usr/share/doc/actualiza-catalogos/README.md
./usr/share/doc/actualiza-catalogos/changelog.gz
./usr/share/doc/actualiza-catalogos/copyright
./usr/share/lintian/overrides/actualiza-catalogos
./usr/share/man/man1/actualiza-catalogos.1.gz
./usr/share/man/man1/sqlshell.1.gz
./usr/share/man/man1/tds-server.1.gz"
files="$(dpkg-deb -c "$deb" | grep -v '^d' | sed -E 's/^([^ ]+ +){5}//' | sort)"
check_eq "the package's files" "$expected" "$files"
check "no file or folder is writable by group or others" \
  bash -c "! dpkg-deb -c '$deb' | grep -v '^l' | grep -qE '^.{5}w|^.{8}w'"

root="$work/root"
dpkg-deb -x "$deb" "$root"
for page in actualiza-catalogos sqlshell tds-server; do
  check "$page(1) is a manual page of that name" \
    bash -c "gzip -dc '$root/usr/share/man/man1/$page.1.gz' | grep -q '^\\.TH ${page^^} 1'"
done
check "the README is the documentation" cmp -s "$repo/README.md" "$root/usr/share/doc/actualiza-catalogos/README.md"

# The demo installation, its databases made by the packaged sqlshell.
sqlshell="$root/usr/bin/sqlshell"
updater="$root/opt/actualiza-catalogos/actualiza-catalogos"
log="$root/opt/actualiza-catalogos/LogActualizacion.txt"
SQLSHELL="$sqlshell" "$repo/scripts/make-installation" "$work/demo" >"$work/make.out" 2>&1
check "the packaged sqlshell builds the demo installation" test $? -eq 0

# A rejected line: usage on stderr, the log beside the packaged program.
"$updater" --help >"$work/out" 2>"$work/err"
check_eq "--help is a rejected line" 2 $?
check "--help prints the usage" grep -q '^usage: actualiza-catalogos USER,PASSWORD,SERVER' "$work/err"
check "--help leaves Parametros Incorrectos in the packaged program's log" grep -q 'Parametros Incorrectos' "$log"

# The update run from the package: the demo has incidents on purpose (company 0004 has no
# database), so it ends with status 1 and the final message "con incidencias".
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$updater" "NULL,,$work/demo/datos" </dev/null >/dev/null 2>&1
check_eq "the packaged updater runs the demo to its end" 1 $?
text="$(iconv -f WINDOWS-1252 -t UTF-8 "$log" | tr -d '\r')"
check "the log beside the packaged program ends the run" \
  grep -q '^Información:  Terminada actualización de catálogos con incidencias ' <<<"$text"
check "the log has the central and company updates" \
  test "$(grep -c '^Información:  Comenzando actualizacion de ' <<<"$text")" -ge 4

# --version prints the release that the run stamped into Vardex.
version="$("$updater" --version 2>/dev/null)"
check_eq "--version exits 0" 0 $?
stamp="$("$sqlshell" -S "$work/demo/datos" -d Vardex -h -1 -W -Q \
  "SET NOCOUNT ON SELECT VALOR FROM PROPIEDADES WHERE OBJETO='PLADIO_FECHA' AND NOMBRE='VERSION'")"
check_eq "--version is the release stamped into Vardex" "actualiza-catalogos $stamp" "$version"
check "the release is a date and time" grep -qE '^actualiza-catalogos [0-9]{2}/[0-9]{2}/[0-9]{4} [0-9:]{8}$' <<<"$version"

if command -v lintian >/dev/null; then
  lintian --fail-on error,warning "$deb" >"$work/lintian.out" 2>&1
  check "lintian finds no error or warning" test $? -eq 0
  grep -v 'root privileges' "$work/lintian.out" >&2
fi
finish
