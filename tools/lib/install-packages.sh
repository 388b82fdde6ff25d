#!/usr/bin/env bash
# Installs the Debian 12 packages the build, tests and tools need, and nothing
# when they are all there already (one dpkg-query call, well under a second).
#
# A mirror that is half-way through a sync serves some indexes with the wrong
# size; apt-get update then fails although everything needed can be
# installed. So a failed update only warns, and what decides is whether the
# wanted packages end up installed. 32-bit Wine and the i386 libraries are
# optional: they are skipped where the kernel cannot execute 32-bit programs
# (the Windows tests then run from the x86_64 build) and only warned about
# where they cannot be installed.
#
# --demo: only what building and playing the sample needs (tools/run-demo,
# tools/build --demo): no fuzzing compiler, no input robot, and no cross
# compiler for an architecture this machine cannot play (unless
# VOZER_DEMO_ARCH=i686 asks for the product's demo, to play it in the
# emulated machine). tools/test installs the rest when it first runs.
#
# install-packages.sh PACKAGE...: installs just those, in the same way (the
# emulated 32-bit test bed brings its own host tools so).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/env.sh"

demo_only=0
if [ "${1:-}" = --demo ]; then demo_only=1; shift; fi
for name in "$@"; do
    [[ "$name" =~ ^[a-z0-9][a-z0-9.+:-]*$ ]] || vz_die "usage: tools/lib/install-packages.sh [--demo | PACKAGE...]"
done

# Wine and the GL/X client libraries it loads come in both architectures: the
# 32-bit ones run the product, the 64-bit ones serve wine64.
x_libs=(libgl1 libgl1-mesa-dri libxrandr2 libxrender1 libxi6 libxcursor1
        libxcomposite1 libxinerama1 libxxf86vm1 libxfixes3 libgnutls30)
required=(
    cmake ninja-build ccache g++ dpkg-dev bsdextrautils python3
    g++-mingw-w64-x86-64-posix libz-mingw-w64-dev nasm
    libpng-dev libjpeg62-turbo-dev zlib1g-dev libfreetype-dev
    libgtest-dev libgmock-dev libbenchmark-dev libpugixml-dev libturbojpeg0-dev fonts-dejavu-core
    libogg-dev libvorbis-dev sox libsox-fmt-base
    wine wine64 xvfb xauth
)
[ "$demo_only" = 1 ] || required+=(clang-14 libclang-rt-14-dev xdotool)
optional_i386=(wine32:i386)
for lib in "${x_libs[@]}"; do required+=("$lib:amd64"); optional_i386+=("$lib:i386"); done

# missing_packages NAME...: those of NAME... not fully installed. A name
# without an architecture matches the native or an "all" package.
missing_packages() {
    local -A state=()
    local native pkg arch st
    native="$(dpkg --print-architecture)"
    while read -r pkg arch st; do
        state["$pkg:$arch"]="$st"
        if [ "$arch" = "$native" ] || [ "$arch" = all ]; then state["$pkg"]="$st"; fi
    done < <(dpkg-query -W -f='${Package} ${Architecture} ${db:Status-Abbrev}\n' 2>/dev/null)
    local p
    for p in "$@"; do
        [ "${state[$p]:-}" = "ii" ] || printf '%s\n' "$p"
    done
}

has_i386() { dpkg --print-foreign-architectures | grep -qx i386; }

want_i386=1
if [ "$#" -gt 0 ]; then
    required=("$@")
    want_i386=0
elif [ "${VOZER_NO_I386:-0}" = 1 ]; then
    want_i386=0
elif ! vz_kernel_runs_32bit; then
    want_i386=0
    vz_log "this kernel cannot execute 32-bit programs: 32-bit Wine and the i386 libraries are skipped (Windows tests run from the x86_64 build)"
fi
# The product is built for i686 wherever the whole tree is built; the demo
# alone needs it only where it can be played.
if [ "$#" -eq 0 ] && { [ "$demo_only" = 0 ] || [ "$want_i386" = 1 ] || [ "${VOZER_DEMO_ARCH:-}" = i686 ]; }; then
    required+=(g++-mingw-w64-i686-posix)
fi

mapfile -t missing < <(missing_packages "${required[@]}")
missing_i386=()
[ "$want_i386" = 1 ] && mapfile -t missing_i386 < <(missing_packages "${optional_i386[@]}")
if [ "${#missing[@]}" -eq 0 ] && [ "${#missing_i386[@]}" -eq 0 ] && { [ "$want_i386" = 0 ] || has_i386; }; then
    exit 0
fi

log="$VOZER_CACHE_DIR/logs/install-packages.log"
: >"$log"
wanted=("${missing[@]}" "${missing_i386[@]}")
vz_log "installing ${#wanted[@]} packages: ${wanted[*]} (log: $log)"

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
        sudo_cmd=(sudo -n)
    else
        vz_die "missing packages and not root: run $0 as root"
    fi
fi

export DEBIAN_FRONTEND=noninteractive
# Another apt run (an unattended upgrade, a colleague's install) may hold the
# locks; wait for it instead of failing.
apt_opts=(-q -o DPkg::Lock::Timeout=900 -o Acquire::Retries=3)

if [ "$want_i386" = 1 ] && ! has_i386; then
    vz_quiet "$log" "${sudo_cmd[@]}" dpkg --add-architecture i386
fi
if ! vz_quiet "$log" "${sudo_cmd[@]}" apt-get "${apt_opts[@]}" update 2>/dev/null; then
    vz_warn "apt-get update failed in part (a mirror in mid-sync?); going on with the package lists it did fetch (log: $log)"
fi
if [ "${#missing[@]}" -ne 0 ]; then
    vz_quiet "$log" "${sudo_cmd[@]}" apt-get "${apt_opts[@]}" install -y --no-install-recommends "${missing[@]}" || true
    mapfile -t missing < <(missing_packages "${required[@]}")
    [ "${#missing[@]}" -eq 0 ] || vz_die "not installed after apt-get: ${missing[*]} (log: $log)"
fi
if [ "${#missing_i386[@]}" -ne 0 ]; then
    vz_quiet "$log" "${sudo_cmd[@]}" apt-get "${apt_opts[@]}" install -y --no-install-recommends "${missing_i386[@]}" 2>/dev/null || true
    mapfile -t missing_i386 < <(missing_packages "${optional_i386[@]}")
    if [ "${#missing_i386[@]}" -ne 0 ]; then
        vz_warn "32-bit Wine and the i386 libraries could not be installed (${missing_i386[*]}; log: $log): the Windows tests run from the x86_64 build"
    fi
fi
vz_log "packages installed"
