#!/usr/bin/env bash
# Cross-builds the third-party libraries of the Windows runtime as static
# libraries for VOZER_WIN_ARCH (i686 by default) from Debian's own sources (same versions and patches as the
# native build uses): zlib, libpng, libjpeg-turbo (libjpeg 6b interface),
# FreeType (with zlib and libpng, nothing else), Google Benchmark (for the
# renderer's benchmark under Wine), plus GoogleTest/GoogleMock from the
# sources libgtest-dev ships. Installs them into
# $VOZER_CACHE_DIR/win32-deps/<key> and prints that prefix; does nothing when
# the prefix is already complete.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/env.sh"

prefix="$(vz_win32_deps_prefix)"
if [ -f "$prefix/.complete" ]; then
    printf '%s\n' "$prefix"
    exit 0
fi

mkdir -p "$(dirname "$prefix")"
exec 9>"$(dirname "$prefix")/.lock"
flock 9
if [ -f "$prefix/.complete" ]; then       # built meanwhile by a concurrent run
    printf '%s\n' "$prefix"
    exit 0
fi

log="$VOZER_CACHE_DIR/logs/win32-deps.log"
: >"$log"
vz_log "building win32 deps into $prefix (log: $log)" >&2
start=$SECONDS

# A fixed work directory (under the lock) keeps compiler command lines the
# same from one recipe to the next, so ccache can serve most of a rebuild.
work="$(dirname "$prefix")/.work"
rm -rf "$work"
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT
CCACHE_BASEDIR="$(dirname "$prefix")"
export CCACHE_BASEDIR
cd "$work"      # whatever a build writes relative to its working directory stays here
rm -rf "$prefix"
mkdir -p "$prefix"

# --- sources ---------------------------------------------------------------
source "$VOZER_ROOT/tools/lib/apt-src.sh"
vz_apt_src_configure

vz_log "fetching sources" >&2
# A mirror caught in mid-sync fails the update of some index although the
# sources needed are there: only a warning; fetch() decides.
if ! vz_quiet "$log" "${apt_src[@]}" update 2>/dev/null; then
    vz_warn "apt-get update of the source lists failed in part (a mirror in mid-sync?); going on with the lists it did fetch (log: $log)"
fi

# fetch PKG: unpacks Debian's source (upstream plus Debian's patches) into
# $work/src-PKG and prints its directory. The newest version first (security
# updates included); an index may name a version the mirror no longer has,
# then the release's own version.
fetch() {
    local pkg="$1" dir="$work/src-$1" wanted
    for wanted in "$pkg" "$pkg/$codename"; do
        rm -rf "$dir"; mkdir -p "$dir"
        printf '\n$ apt-get source %s\n' "$wanted" >>"$log"
        if (cd "$dir" && "${apt_src[@]}" source "$wanted" </dev/null >>"$log" 2>&1); then
            find "$dir" -mindepth 1 -maxdepth 1 -type d | head -n1
            return 0
        fi
    done
    vz_die "could not fetch the source of $pkg (log: $log)"
}
zlib_src="$(fetch zlib)"
png_src="$(fetch libpng1.6)"
jpeg_src="$(fetch libjpeg-turbo)"
ft_src="$(fetch freetype)"
ogg_src="$(fetch libogg)"
vorbis_src="$(fetch libvorbis)"
bench_src="$(fetch benchmark)"
gtest_src=/usr/src/googletest
[ -f "$gtest_src/CMakeLists.txt" ] || vz_die "$gtest_src missing: install libgtest-dev and libgmock-dev"

# --- builds ----------------------------------------------------------------
cmake_common=(-G Ninja
    -DCMAKE_TOOLCHAIN_FILE="$VOZER_ROOT/cmake/toolchain-mingw-$VOZER_WIN_ARCH.cmake"
    -DVOZER_WIN32_DEPS="$prefix"
    -DCMAKE_CROSSCOMPILING_EMULATOR=
    -DCMAKE_BUILD_TYPE=Release
    -DCMAKE_INSTALL_PREFIX="$prefix"
    -DCMAKE_C_COMPILER_LAUNCHER=ccache
    -DCMAKE_CXX_COMPILER_LAUNCHER=ccache
    -DBUILD_SHARED_LIBS=OFF
    -DCMAKE_POSITION_INDEPENDENT_CODE=OFF)
with_zlib=(-DZLIB_INCLUDE_DIR="$prefix/include" -DZLIB_LIBRARY="$prefix/lib/libz.a")
with_png=(-DPNG_PNG_INCLUDE_DIR="$prefix/include" -DPNG_LIBRARY="$prefix/lib/libpng16.a")

# build NAME SRC [cmake args...]: configure, build and install one library.
build() {
    local name="$1" src="$2"; shift 2
    vz_log "building $name" >&2
    vz_quiet "$log" cmake -S "$src" -B "$work/build-$name" "${cmake_common[@]}" "$@"
    vz_quiet "$log" cmake --build "$work/build-$name" -j2
    vz_quiet "$log" cmake --install "$work/build-$name"
}

# zlib: only the static library; the shared one wants a resource script that
# Debian's tarball lacks. Installed by hand under the usual name.
vz_log "building zlib" >&2
vz_quiet "$log" cmake -S "$zlib_src" -B "$work/build-zlib" "${cmake_common[@]}"
vz_quiet "$log" cmake --build "$work/build-zlib" -j2 --target zlibstatic
mkdir -p "$prefix/include" "$prefix/lib"
cp "$zlib_src/zlib.h" "$work/build-zlib/zconf.h" "$prefix/include/"
cp "$work/build-zlib/libzlibstatic.a" "$prefix/lib/libz.a"

build libpng "$png_src" "${with_zlib[@]}" \
    -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF -DSKIP_INSTALL_PROGRAMS=ON

build libjpeg-turbo "$jpeg_src" \
    -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF \
    -DWITH_JPEG7=OFF -DWITH_JPEG8=OFF -DWITH_SIMD=ON -DREQUIRE_SIMD=ON \
    -DCMAKE_ASM_NASM_COMPILER=nasm

build freetype "$ft_src" "${with_zlib[@]}" "${with_png[@]}" \
    -DFT_REQUIRE_ZLIB=ON -DFT_REQUIRE_PNG=ON \
    -DFT_DISABLE_BZIP2=ON -DFT_DISABLE_HARFBUZZ=ON -DFT_DISABLE_BROTLI=ON

build libogg "$ogg_src" -DBUILD_TESTING=OFF -DINSTALL_DOCS=OFF -DINSTALL_PKG_CONFIG_MODULE=OFF

build libvorbis "$vorbis_src" -DCMAKE_PREFIX_PATH="$prefix" \
    -DOGG_INCLUDE_DIR="$prefix/include" -DOGG_LIBRARY="$prefix/lib/libogg.a" -DBUILD_TESTING=OFF

build googletest "$gtest_src" -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON

# Debian's source no longer reads its version from git; GIT_VERSION=0.0.0
# makes it take the project's own.
build benchmark "$bench_src" -DBENCHMARK_ENABLE_TESTING=OFF -DBENCHMARK_ENABLE_GTEST_TESTS=OFF \
    -DBENCHMARK_ENABLE_WERROR=OFF -DBENCHMARK_ENABLE_INSTALL=ON -DBENCHMARK_INSTALL_DOCS=OFF -DGIT_VERSION=0.0.0

# CMake's FindFreetype knows nothing of a static FreeType's own dependencies;
# this wrapper (found through the toolchain file's module path) adds them.
mkdir -p "$prefix/cmake"
cat >"$prefix/cmake/FindFreetype.cmake" <<'CMAKE'
# Static FreeType: whoever links it also needs libpng and zlib, after it.
include("${CMAKE_ROOT}/Modules/FindFreetype.cmake")
if(FREETYPE_FOUND)
  find_package(PNG QUIET)
  find_package(ZLIB QUIET)
  set(_vozer_ft_deps "")
  if(TARGET PNG::PNG)
    list(APPEND _vozer_ft_deps PNG::PNG)
  endif()
  if(TARGET ZLIB::ZLIB)
    list(APPEND _vozer_ft_deps ZLIB::ZLIB)
  endif()
  if(TARGET Freetype::Freetype)
    set_property(TARGET Freetype::Freetype APPEND PROPERTY INTERFACE_LINK_LIBRARIES ${_vozer_ft_deps})
  endif()
  list(APPEND FREETYPE_LIBRARIES ${PNG_LIBRARIES} ${ZLIB_LIBRARIES})
endif()
CMAKE

# Every library and header set must be there before the prefix counts as done.
for f in lib/libz.a lib/libpng16.a lib/libjpeg.a lib/libfreetype.a lib/libgtest.a \
         lib/libgtest_main.a lib/libgmock.a lib/libgmock_main.a \
         include/zlib.h include/png.h include/jpeglib.h include/jconfig.h \
         include/freetype2/ft2build.h include/gtest/gtest.h include/gmock/gmock.h \
         lib/libogg.a lib/libvorbis.a lib/libvorbisfile.a include/ogg/ogg.h include/vorbis/vorbisfile.h \
         lib/cmake/GTest/GTestConfig.cmake cmake/FindFreetype.cmake \
         lib/libbenchmark.a include/benchmark/benchmark.h lib/cmake/benchmark/benchmarkConfig.cmake; do
    [ -f "$prefix/$f" ] || vz_die "win32 deps incomplete: $prefix/$f missing (log: $log)"
done
grep -q 'define JPEG_LIB_VERSION *62' "$prefix/include/jconfig.h" \
    || vz_die "libjpeg-turbo built without the 6b interface (log: $log)"

{
    for d in "$zlib_src" "$png_src" "$jpeg_src" "$ft_src" "$bench_src" "$ogg_src" "$vorbis_src"; do basename "$d"; done
    echo "googletest $(dpkg-query -W -f='${Version}' libgtest-dev 2>/dev/null || echo unknown)"
} >"$prefix/versions.txt"
touch "$prefix/.complete"
vz_log "win32 deps built in $((SECONDS - start)) s: $(tr '\n' ' ' <"$prefix/versions.txt")" >&2
printf '%s\n' "$prefix"
