#!/usr/bin/env bash
# Runs chosen end-to-end cases of the product (build/win32, i686) in the
# emulated machine of tools/i686-vm, for kernels that cannot execute 32-bit
# programs (tools/test calls it then), and ends with the line
#   i686 (emulated): N of M cases passed: NAMES
# The cases: the spine with the Program written from the 32-bit record layout
# alone (Init, Update, Render, Quit; an interface version refused), the
# Direct3D 8 drawing case whose captured frame is compared with the scene,
# the sound library's captured mix, the console typed into, the kit
# template's game (built here with the kit, played there) and the shipped
# demo's frame after 60 fixed frames against the x86_64 build's from this
# machine's Wine. Everything they leave (each case's output, both demo
# frames, the others' captures) stays in build/win32/emulated/.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/env.sh"
cd "$VOZER_ROOT"

cases=(
    tests/e2e/case_quit_from_update.sh
    tests/e2e/case_interface_1221.sh
    tests/e2e/case_d3d8_draw_acceptance.sh
    tests/e2e/case_sound_wave_capture.sh
    tests/e2e/case_console.sh
    tests/e2e/case_sdk_template.sh
    tests/e2e/emulated/case_demo_matches_x86_64.sh
)
[ "$#" -eq 0 ] || cases=("$@")

out="$VOZER_ROOT/build/win32/emulated"
job="$out/job"
rm -rf "$out"
mkdir -p "$job/source/tools/lib" "$job/source/tests" "$job/build" "$job/reference" "$out/frames" "$out/logs"
log="$out/prepare.txt"

# --- the product and the cases, laid out as the driver expects them ----------
cp -r tests/e2e "$job/source/tests/"
cp tools/wine-exec "$job/source/tools/"
cp tools/lib/env.sh "$job/source/tools/lib/"
cp tests/e2e/emulated/run-cases.sh "$job/"
(
    cd build/win32
    cp -r --parents vozer_runtime.exe core fonts/core "$job/build/"
    for program in raw probe draw tones console; do cp -r --parents "testprogs/$program" "$job/build/"; done
)
mkdir -p "$job/source/dist/win32"
cp -r dist/win32/demo "$job/source/dist/win32/"

# --- what the machine cannot make itself --------------------------------------
# The kit's template game, built with the kit alone as a game maker would.
kit="$VOZER_ROOT/dist/win32/sdk"
template="$out/template"
cp -r "$kit/template" "$template"
if vz_quiet "$log" cmake -S "$template" -B "$template/build" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$kit/cmake/toolchain-mingw-i686.cmake" -DVozer_DIR="$kit/cmake" \
    && vz_quiet "$log" cmake --build "$template/build"; then
    cp -r "$template/build/game" "$job/kit-game"
else
    vz_warn "the kit's template did not build (see $log): its case fails"
fi

# The reference frame: the x86_64 build's demo under this machine's Wine.
reference="$out/demo-x86_64"
cp -r dist/win64/demo "$reference"
rm -f "$reference/frame.png"
(
    vz_use_win_arch x86_64
    cd "$reference"
    VOZER_FIXED_FRAME_MS=16 VOZER_EXIT_AFTER_FRAMES=60 VOZER_CAPTURE=frame.png VOZER_POPUPS=log \
        vz_quiet "$log" "$VOZER_ROOT/tools/wine-exec" ./vozer_runtime.exe
) || vz_warn "the x86_64 demo failed (see $log)"
if [ -f "$reference/frame.png" ]; then
    cp "$reference/frame.png" "$job/reference/demo-x86_64.png"
    cp "$reference/frame.png" "$out/frames/demo-x86_64.png"
fi
rm -rf "$reference" "$template"

# --- the run ------------------------------------------------------------------
vz_log "i686 cases in the emulated machine: ${cases[*]##*/}"
vm_rc=0
"$VOZER_ROOT/tools/i686-vm" run -t "${VOZER_I686_CASES_TIMEOUT:-1800}" "$job" -- bash run-cases.sh "${cases[@]}" \
    >"$out/machine.txt" 2>&1 || vm_rc=$?
cp -r "$job/logs/." "$out/logs/" 2>/dev/null || true
cp -r "$job/frames/." "$out/frames/" 2>/dev/null || true

passed=()
total=${#cases[@]}
for case_path in "${cases[@]}"; do
    name="$(basename "$case_path" .sh)"
    name="${name#case_}"
    result="$(awk -v n="$name" '$1 == n { print $2 " (" $3 " s)" }' "$job/results.txt" 2>/dev/null || true)"
    case "$result" in
        passed*) passed+=("$name") ;;
        *)
            echo "== i686 case $name: ${result:-not run}; its output:"
            tail -n 60 "$out/logs/$name.txt" 2>/dev/null || true
            ;;
    esac
done
if [ "$vm_rc" -ne 0 ]; then
    echo "== the emulated machine's run ended with $vm_rc; its last lines:"
    tail -n 30 "$out/machine.txt"
fi
rm -rf "$job"
echo "(each case's output and the frames: $out)"
echo "i686 (emulated): ${#passed[@]} of $total cases passed: ${passed[*]}"
[ "${#passed[@]}" -eq "$total" ]
