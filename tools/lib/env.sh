# Shared environment of the build, test and run scripts; source it, don't run it.
#   VOZER_ROOT        repository root (found from this file's location)
#   VOZER_CACHE_DIR   everything that outlives a checkout: ccache, Wine prefix,
#                     cross-built libraries, logs (default ~/.cache/vozer)

VOZER_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd -P)"
export VOZER_ROOT

: "${VOZER_CACHE_DIR:=${HOME:-$(getent passwd "$(id -u)" | cut -d: -f6)}/.cache/vozer}"
export VOZER_CACHE_DIR
mkdir -p "$VOZER_CACHE_DIR/logs"

# CI clones the repository afresh each run; a cache outside the tree and a base
# directory make those clones hit the same compiled objects.
export CCACHE_DIR="$VOZER_CACHE_DIR/ccache"
export CCACHE_BASEDIR="$VOZER_ROOT"
export CCACHE_NOHASHDIR=1
: "${CCACHE_MAXSIZE:=3G}"
export CCACHE_MAXSIZE

# The Windows architecture the Windows-side scripts work on: i686 is the
# product; x86_64 is the test build for kernels that cannot execute 32-bit
# programs (tools/test picks it then).
# vz_use_win_arch ARCH: point the Windows-side settings (Wine prefix and
# loader, library prefix) at one architecture.
# VOZER_WINE_PREFIX_TAG, when set, gives this checkout a Wine prefix of its
# own (wine-win64-TAG), so that test runs of several checkouts on one machine
# neither share user-data folders nor stop each other's Wine services.
vz_use_win_arch() {
    VOZER_WIN_ARCH="$1"
    local tag="${VOZER_WINE_PREFIX_TAG:+-$VOZER_WINE_PREFIX_TAG}"
    export VOZER_WIN_ARCH
    if [ "$VOZER_WIN_ARCH" = x86_64 ]; then
        export WINEPREFIX="$VOZER_CACHE_DIR/wine-win64$tag"
        export WINEARCH=win64
        VOZER_WINE=/usr/lib/wine/wine64
    else
        export WINEPREFIX="$VOZER_CACHE_DIR/wine-win32$tag"
        export WINEARCH=win32
        VOZER_WINE=wine
    fi
    export VOZER_WINE
}
vz_use_win_arch "${VOZER_WIN_ARCH:-i686}"
export WINEDEBUG=-all
# Wine's debugger stays off: a Program that crashes ends its run instead of
# waiting for someone at a debugger prompt.
export WINEDLLOVERRIDES="mscoree,mshtml=;winealsa.drv,winepulse.drv=d;winedbg.exe=d"

VOZER_XVFB_SCREEN="1024x768x24"

vz_log() { printf '== %s\n' "$*"; }
vz_warn() { printf '== warning: %s\n' "$*" >&2; }
vz_die() { printf '== error: %s\n' "$*" >&2; exit 1; }

# vz_quiet LOG CMD...: run CMD with its output appended to LOG; on failure show
# the end of LOG and return CMD's status.
vz_quiet() {
    local log="$1"; shift
    printf '\n$ %s\n' "$*" >>"$log"
    local rc=0
    "$@" </dev/null >>"$log" 2>&1 || rc=$?
    if [ "$rc" -ne 0 ]; then
        printf '== failed (exit %d): %s\n== last lines of %s:\n' "$rc" "$*" "$log" >&2
        tail -n 80 "$log" >&2
    fi
    return "$rc"
}

# Where the cross-built Windows libraries go: the key follows the recipe (the
# build script and the toolchain file) and the cross compiler, so changing
# any of them builds a fresh prefix while older checkouts keep theirs.
vz_win32_deps_prefix() {
    local key
    key="$( { cat "$VOZER_ROOT/tools/lib/build-win32-deps.sh" \
                  "$VOZER_ROOT/cmake/toolchain-mingw-common.cmake" \
                  "$VOZER_ROOT/cmake/toolchain-mingw-$VOZER_WIN_ARCH.cmake"
              "$VOZER_WIN_ARCH-w64-mingw32-g++-posix" -dumpfullversion 2>/dev/null || true
              cat /usr/src/googletest/CMakeLists.txt 2>/dev/null || true
            } | sha256sum | cut -c1-12)"
    local folder=win32-deps
    [ "$VOZER_WIN_ARCH" = x86_64 ] && folder=win64-deps
    printf '%s\n' "$VOZER_CACHE_DIR/$folder/$key"
}

# vz_kernel_runs_32bit: whether this kernel executes 32-bit x86 programs at
# all (IA-32 emulation may be compiled out or switched off). Tried with a
# 93-byte static i386 program that only calls exit(0), so it needs no 32-bit
# library installed.
vz_kernel_runs_32bit() {
    local probe
    probe="$(mktemp -p "$VOZER_CACHE_DIR" ia32-probe.XXXXXX)" || return 1  # /tmp may be noexec
    printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000\002\000\003\000\001\000\000\000\124\200\004\010\064\000\000\000\000\000\000\000\000\000\000\000\064\000\040\000\001\000\000\000\000\000\000\000\001\000\000\000\000\000\000\000\000\200\004\010\000\200\004\010\135\000\000\000\135\000\000\000\005\000\000\000\000\020\000\000\270\001\000\000\000\061\333\315\200' >"$probe"
    chmod +x "$probe"
    local rc=0
    "$probe" 2>/dev/null || rc=$?
    rm -f "$probe"
    return "$rc"
}

# Wine here is the 32-bit build; some kernels (or their hosts) switch off the
# execution of 32-bit programs, and then nothing Windows-side can run at all.
vz_can_run_wine() {
    local loader=/usr/lib/wine/wine
    [ "$VOZER_WIN_ARCH" = x86_64 ] && loader=/usr/lib/wine/wine64
    command -v wine >/dev/null 2>&1 || return 1
    [ -x "$loader" ] || return 1
    "$loader" --version >/dev/null 2>&1
}
# The architecture whose Windows tests can run here: i686 (the product) when
# the kernel executes 32-bit programs, else x86_64 under 64-bit Wine; empty
# when neither can run.
vz_test_win_arch() {
    local saved="$VOZER_WIN_ARCH" arch=""
    vz_use_win_arch i686
    if vz_can_run_wine; then
        arch=i686
    else
        vz_use_win_arch x86_64
        vz_can_run_wine && arch=x86_64
    fi
    vz_use_win_arch "$saved"
    printf '%s\n' "$arch"
}
vz_wine_unavailable_reason() {
    if ! command -v wine >/dev/null 2>&1 || [ ! -x /usr/lib/wine/wine ]; then
        echo "32-bit Wine is not installed (run tools/lib/install-packages.sh as root)"
    else
        echo "this kernel does not execute 32-bit programs (IA-32 emulation is off), so 32-bit Wine cannot start"
    fi
}
