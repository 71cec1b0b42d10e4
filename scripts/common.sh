# Shared set-up of scripts/test, scripts/demo and scripts/bench: packages, builds, Wine.
# Source it; it defines functions only and sets the Wine environment.

VESK_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
VESK_BUILD=${VESK_BUILD:-$VESK_ROOT/build}
WINE=/usr/lib/wine/wine64
WINE32=/usr/lib/wine/wine
WINESERVER=/usr/lib/wine/wineserver
JOBS=${JOBS:-$(nproc)}

export WINEPREFIX=$VESK_BUILD/wineprefix
export WINEDEBUG=-all
export WINEARCH=win64
export WINEDLLOVERRIDES="mscoree,mshtml="
export TZ=UTC

# wine32:i386 runs the i686 build; it needs the i386 architecture enabled first.
VESK_PACKAGES="wine wine64 wine32:i386 g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix libboost-dev googletest
  xvfb xauth cmake make libfmt-dev libcereal-dev"

log() { printf '\n=== %s\n' "$*"; }

vesk_install_packages() {
  local missing=""
  for p in $VESK_PACKAGES; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
  done
  if [ -n "$missing" ]; then
    log "installing:$missing"
    export DEBIAN_FRONTEND=noninteractive
    dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
    apt-get update
    apt-get install -y --no-install-recommends $missing
  fi
}

# vesk_build <arch> [extra cmake args...]: configure and build one target in
# build/<arch>; VESK_BUILD_DIR_SUFFIX picks another folder for the same target.
vesk_build() {
  local arch=$1; shift
  local dir=$VESK_BUILD/$arch${VESK_BUILD_DIR_SUFFIX:-}
  log "building $arch"
  mkdir -p "$VESK_BUILD"
  local launcher=""
  # A compiler cache, where one is installed, makes rebuilds of several trees cheap.
  command -v ccache >/dev/null && launcher="-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache"
  cmake -S "$VESK_ROOT" -B "$dir" $launcher -DCMAKE_TOOLCHAIN_FILE="$VESK_ROOT/cmake/toolchain-$arch.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DVESK_WERROR=ON "$@" >"$dir.configure.log" 2>&1 \
    || { cat "$dir.configure.log"; return 1; }
  cmake --build "$dir" -j "$JOBS"
}

VESK_XVFB_PID=""
vesk_stop_wine() {
  "$WINESERVER" -k >/dev/null 2>&1 || true
  [ -n "$VESK_XVFB_PID" ] && kill "$VESK_XVFB_PID" 2>/dev/null || true
  VESK_XVFB_PID=""
}

# Creates the build's own Wine prefix once, keeps a wineserver warm and starts one
# Xvfb for every GUI program of the run. One 64-bit prefix serves both widths; it
# gets its 32-bit half only if 32-bit Wine was installed when it was made, so a
# prefix without it is made again.
vesk_start_wine() {
  mkdir -p "$VESK_BUILD"
  if [ -f "$WINEPREFIX/system.reg" ] && [ ! -d "$WINEPREFIX/drive_c/windows/syswow64" ]; then
    log "Wine prefix has no 32-bit half: making it again"
    "$WINESERVER" -k >/dev/null 2>&1 || true
    rm -rf "$WINEPREFIX"
  fi
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    log "creating Wine prefix $WINEPREFIX"
    "$WINE" wineboot --init >/dev/null 2>&1 || true
    "$WINESERVER" -w
    # Without a window manager every DestroyWindow stalls; crashes must not open dialogs.
    "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    "$WINE" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
    "$WINE" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /d '' /f >/dev/null 2>&1
    "$WINESERVER" -w
  fi
  trap vesk_stop_wine EXIT
  local display=$(( 90 + RANDOM % 400 ))
  Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  VESK_XVFB_PID=$!
  export DISPLAY=":$display"
  "$WINESERVER" -p >/dev/null 2>&1 &
  sleep 0.5
  # The first program of a Wine session starts its background services, which
  # inherit that program's output: start them here, on /dev/null, so that ctest
  # is not left waiting for a pipe that a service keeps open.
  "$WINE" cmd /c exit </dev/null >/dev/null 2>&1 || true
  "$WINE32" cmd /c exit </dev/null >/dev/null 2>&1 || true
}
