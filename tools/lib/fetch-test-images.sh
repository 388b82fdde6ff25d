#!/usr/bin/env bash
# Fetches the third-party conformance images the image tests decode: the
# PngSuite (contrib/pngsuite of Debian's libpng1.6 source package) and the
# test images of Debian's libjpeg-turbo source package. They are never
# committed; they land in $VOZER_CACHE_DIR/test-images/{pngsuite,testpngs,jpeg}
# (libpng's own test images, with its broken "crashers", come along) and this
# script prints that folder. Does nothing when the folder is already complete.
#
# Sources come through the private apt configuration of tools/lib/apt-src.sh
# (deb-src entries mirroring the machine's deb entries), as the Windows
# libraries' do.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/env.sh"

dest="$VOZER_CACHE_DIR/test-images"
if [ -f "$dest/.complete" ]; then
    printf '%s\n' "$dest"
    exit 0
fi
mkdir -p "$VOZER_CACHE_DIR"
exec 8>"$VOZER_CACHE_DIR/test-images.lock"
flock 8
if [ -f "$dest/.complete" ]; then
    printf '%s\n' "$dest"
    exit 0
fi

log="$VOZER_CACHE_DIR/logs/test-images.log"
: >"$log"
source "$VOZER_ROOT/tools/lib/apt-src.sh"
vz_apt_src_configure

work="$(mktemp -d -t vozer-test-images.XXXXXX)"
trap 'rm -rf "$work"' EXIT

# fetch PKG: Debian's unpacked source of PKG below $work; prints its folder.
# The lists may be older than the mirror: refresh them once on failure.
updated=0
fetch() {
    local pkg="$1" dir="$work/src-$1" wanted attempt
    for attempt in 1 2; do
        for wanted in "$pkg" "$pkg/$codename"; do
            rm -rf "$dir"; mkdir -p "$dir"
            printf '\n$ apt-get source %s\n' "$wanted" >>"$log"
            if (cd "$dir" && "${apt_src[@]}" source "$wanted" </dev/null >>"$log" 2>&1); then
                find "$dir" -mindepth 1 -maxdepth 1 -type d | head -n1
                return 0
            fi
        done
        [ "$updated" = 1 ] && break
        vz_quiet "$log" "${apt_src[@]}" update >&2 || break
        updated=1
    done
    vz_die "could not fetch the source of $pkg (log: $log)"
}

vz_log "fetching the conformance images (log: $log)" >&2
png_src="$(fetch libpng1.6)"
jpeg_src="$(fetch libjpeg-turbo)"

# copy_images FROM TO PATTERN: the files matching PATTERN below FROM, keeping
# their sub-folders (the PngSuite's interlaced/, the broken files' crashers/).
copy_images() {
    [ -d "$1" ] || vz_die "the source package has no ${1#"$work"/}"
    (cd "$1" && find . -type f -name "$3" -print0) | while IFS= read -r -d '' f; do
        mkdir -p "$2/$(dirname "$f")"
        cp "$1/$f" "$2/$f"
    done
}
rm -rf "$dest"
mkdir -p "$dest"
copy_images "$png_src/contrib/pngsuite" "$dest/pngsuite" '*.png'
copy_images "$png_src/contrib/testpngs" "$dest/testpngs" '*.png'
copy_images "$jpeg_src/testimages" "$dest/jpeg" '*.jpg'
{ basename "$png_src"; basename "$jpeg_src"; } >"$dest/versions.txt"
touch "$dest/.complete"
vz_log "conformance images: $(find "$dest" -name '*.png' | wc -l) PNG, $(find "$dest" -name '*.jpg' | wc -l) JPEG" >&2
printf '%s\n' "$dest"
