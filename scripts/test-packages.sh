#!/usr/bin/env bash
# Builds both packages and checks them as a user would get them: installs the .deb with apt into
# this machine (CI runs as root on a throwaway clone), runs both programs from /usr/bin and removes
# the package again; unpacks the Windows zip and runs both programs under Wine from that folder.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
scripts/package

deb=$(ls build/default/vesk_*_amd64.deb)
zip="$root/$(ls build/windows/Vesk-*-windows-x64.zip)"
version=$(sed -nE 's/^project\(Vesk VERSION ([0-9.]+).*/\1/p' CMakeLists.txt)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
fail() { echo "FAILED: $*" >&2; failed=1; }

echo "== $deb"
lintian --fail-on error "$deb" 2>&1 | grep -v '^running with root privileges' || true
lintian --fail-on error "$deb" >/dev/null 2>&1 || fail "lintian reports errors"
dpkg-deb -c "$deb" >"$work/contents"
for f in /usr/bin/vesk /usr/bin/vesk-cli /usr/share/applications/vesk.desktop \
         /usr/share/icons/hicolor/32x32/apps/vesk.png /usr/share/man/man1/vesk-cli.1.gz \
         /usr/share/metainfo/org.example.vesk.metainfo.xml /usr/share/doc/vesk/copyright; do
  grep -q " \.$f\$" "$work/contents" || fail "$f is not in the package"
done
dpkg-deb -x "$deb" "$work/deb"
appstreamcli validate --no-net "$work/deb/usr/share/metainfo/org.example.vesk.metainfo.xml" \
  >/dev/null 2>&1 || fail "appstreamcli rejects the metainfo file"

if [ "$(id -u)" -eq 0 ]; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "./$deb" >/dev/null || fail "apt cannot install $deb"
  python3 tests/e2e/package_test.py --linux /usr/bin --version "$version" || failed=1
  DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq vesk >/dev/null || fail "apt cannot remove vesk"
  [ ! -e /usr/bin/vesk-cli ] || fail "/usr/bin/vesk-cli is left after removal"
else
  echo "not root: the .deb is checked but not installed"
fi

echo "== $zip"
cmake -E chdir "$work" cmake -E tar xf "$zip"
unpacked=$(ls -d "$work"/Vesk-*-windows-x64)
for f in Vesk.exe vesk-cli.exe README.txt LICENSE.txt; do
  [ -f "$unpacked/$f" ] || fail "$f is not in the zip"
done
export WINEPREFIX="$root/build/windows/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
python3 tests/e2e/package_test.py --windows "$unpacked" --version "$version" || failed=1
wineserver -k 2>/dev/null || true

[ "$failed" -eq 0 ] && echo "packages: all checks passed"
exit "$failed"
