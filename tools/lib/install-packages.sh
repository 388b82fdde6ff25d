#!/usr/bin/env bash
# Installs the Debian 12 packages the build, tests and tools need, and nothing
# when they are all there already (one dpkg-query call, well under a second).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/env.sh"

# Wine and the GL/X client libraries it loads come in both architectures: the
# 32-bit ones run the program, the 64-bit ones serve wine64's helpers.
x_libs=(libgl1 libgl1-mesa-dri libxrandr2 libxrender1 libxi6 libxcursor1
        libxcomposite1 libxinerama1 libxxf86vm1 libxfixes3 libgnutls30)
packages=(
    cmake ninja-build ccache g++ dpkg-dev bsdextrautils python3
    g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix libz-mingw-w64-dev nasm
    libpng-dev libjpeg62-turbo-dev zlib1g-dev libfreetype-dev
    libgtest-dev libgmock-dev libbenchmark-dev libpugixml-dev libturbojpeg0-dev fonts-dejavu-core
    libogg-dev libvorbis-dev sox libsox-fmt-base
    clang-14 libclang-rt-14-dev
    wine wine64 wine32:i386 xvfb xauth xdotool
)
for lib in "${x_libs[@]}"; do packages+=("$lib:amd64" "$lib:i386"); done

# Which of the wanted packages are not fully installed? A name without an
# architecture matches the native or an "all" package.
missing_packages() {
    local -A state=()
    local native pkg arch st
    native="$(dpkg --print-architecture)"
    while read -r pkg arch st; do
        state["$pkg:$arch"]="$st"
        if [ "$arch" = "$native" ] || [ "$arch" = all ]; then state["$pkg"]="$st"; fi
    done < <(dpkg-query -W -f='${Package} ${Architecture} ${db:Status-Abbrev}\n' 2>/dev/null)
    local p
    for p in "${packages[@]}"; do
        [ "${state[$p]:-}" = "ii" ] || printf '%s\n' "$p"
    done
}

has_i386() { dpkg --print-foreign-architectures | grep -qx i386; }

mapfile -t missing < <(missing_packages)
if [ "${#missing[@]}" -eq 0 ] && has_i386; then
    exit 0
fi

log="$VOZER_CACHE_DIR/logs/install-packages.log"
: >"$log"
vz_log "installing ${#missing[@]} packages: ${missing[*]} (log: $log)"

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

if ! has_i386; then
    vz_quiet "$log" "${sudo_cmd[@]}" dpkg --add-architecture i386
fi
vz_quiet "$log" "${sudo_cmd[@]}" apt-get "${apt_opts[@]}" update
vz_quiet "$log" "${sudo_cmd[@]}" apt-get "${apt_opts[@]}" install -y --no-install-recommends "${missing[@]}"

mapfile -t missing < <(missing_packages)
if [ "${#missing[@]}" -ne 0 ]; then
    vz_die "still not installed after apt-get: ${missing[*]} (log: $log)"
fi
vz_log "packages installed"
