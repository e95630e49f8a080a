#!/usr/bin/env bash
# Cross-builds the Windows program and its tests with MinGW-w64 and runs the tests under Wine on
# a virtual display. Installs nothing; needs the Debian packages
#   cmake make g++-mingw-w64-x86-64 g++-mingw-w64-x86-64-posix googletest wine wine64 xvfb xauth
# Environment: VESK_WERROR=ON turns warnings into errors.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build/windows"
cd "$root"

cmake --preset windows -DVESK_WERROR="${VESK_WERROR:-OFF}"
cmake --build build/windows -j2

# A prefix of our own, so the tests neither see nor change the user's Wine setup.
export WINEPREFIX="$build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64
if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
  wine wineboot -i >/dev/null 2>&1
  # Unmanaged windows: without a window manager on the virtual display, Wine otherwise waits
  # two seconds for every window it hides or destroys.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  wineserver -w
fi

failed=0
run() {
  echo "== $1"
  # One virtual display per executable; the tests exit non-zero on any failure.
  if ! timeout 300 xvfb-run -a -s "-screen 0 1280x1024x24" wine "$build/tests/win32/$1.exe"; then
    echo "FAILED: $1" >&2
    failed=1
  fi
}
run vesk_win32_platform_tests
run vesk_win32_window_tests
echo "== vesk-cli.exe"
# The console program end to end; no display needed.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
if ! timeout 600 python3 "$root/tests/win32/cli_wine_test.py" --program "$build/vesk-cli.exe" --version "$version"; then
  echo "FAILED: vesk-cli.exe" >&2
  failed=1
fi
echo "== vesk-cli.exe stores and delete"
if ! timeout 600 python3 "$root/tests/win32/cleanup_wine_test.py" --program "$build/vesk-cli.exe"; then
  echo "FAILED: vesk-cli.exe stores and delete" >&2
  failed=1
fi
echo "== vesk-cli.exe stores, copy and bodyfile"
if ! timeout 600 python3 "$root/tests/win32/copy_wine_test.py" --program "$build/vesk-cli.exe"; then
  echo "FAILED: vesk-cli.exe stores, copy and bodyfile" >&2
  failed=1
fi
echo "== Vesk.exe Values tab copies"
# The real window on a display of its own, compared with vesk-cli.exe file by file.
if ! timeout 600 xvfb-run -a -s "-screen 0 1280x1024x24" python3 "$root/tests/win32/values_wine_test.py" \
    --program "$build/Vesk.exe" --cli "$build/vesk-cli.exe" --clipboard "$build/tests/win32/vesk_clipboard_text.exe"; then
  echo "FAILED: Vesk.exe Values tab copies" >&2
  failed=1
fi
wineserver -k 2>/dev/null || true

[[ -f "$build/Vesk.exe" ]] || { echo "FAILED: build/windows/Vesk.exe is missing" >&2; failed=1; }
exit "$failed"
