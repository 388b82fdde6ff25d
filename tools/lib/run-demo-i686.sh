#!/usr/bin/env bash
# tools/run-demo --i686 [ARGS...]: builds the product's demo folder
# (dist/win32/demo) and plays it in the emulated machine of tools/i686-vm on
# its virtual screen with its Direct3D 8 renderer, for VOZER_EXIT_AFTER_FRAMES
# frames (default 60: a frame takes about a second there). The screenshot of
# the last frame comes back into the demo folder; its path is the last line
# printed. ARGS go to the program; so do VOZER_FIXED_FRAME_MS, VOZER_RENDERER
# and VOZER_CAPTURE (a name in the game's folder).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/env.sh"

VOZER_DEMO_ARCH=i686 "$VOZER_ROOT/tools/build" --demo
demo="$VOZER_ROOT/dist/win32/demo"
[ -f "$demo/vozer_runtime.exe" ] || vz_die "$demo/vozer_runtime.exe was not built"
capture="${VOZER_CAPTURE:-demo-screenshot.png}"
case "$capture" in
    */* | *\\*) vz_die "VOZER_CAPTURE must name a file in the demo folder here, not '$capture'" ;;
esac
shot="$demo/$capture"
rm -f "$shot"

vars=(-e "VOZER_CAPTURE=$capture" -e "VOZER_EXIT_AFTER_FRAMES=${VOZER_EXIT_AFTER_FRAMES:-60}" -e VOZER_POPUPS=log)
for name in VOZER_FIXED_FRAME_MS VOZER_RENDERER; do
    [ -z "${!name:-}" ] || vars+=(-e "$name=${!name}")
done
vz_log "playing $demo in the emulated machine"
rc=0
"$VOZER_ROOT/tools/i686-vm" run -t "${VOZER_I686_DEMO_TIMEOUT:-1200}" "${vars[@]}" "$demo" -- \
    wine ./vozer_runtime.exe "$@" || rc=$?
[ -f "$shot" ] || vz_die "no screenshot came back (the run ended with $rc)"
vz_log "the run ended with $rc; screenshot of its last frame:"
printf '%s\n' "$shot"
exit "$rc"
