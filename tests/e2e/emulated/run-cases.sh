#!/usr/bin/env bash
# run-cases.sh CASE...: inside the emulated machine, from the folder that
# tools/lib/i686-cases.sh lays out (source/: the cases, their driver and the
# Wine scripts; build/: the product's runtime, plug-ins and test Programs),
# runs each end-to-end case through the driver, one after the other. Writes
# results.txt ("NAME passed|failed SECONDS" a line), each case's output to
# logs/NAME.txt and the frames the cases keep to frames/.
set -u
job="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
mkdir -p "$job/logs" "$job/frames"
: >"$job/results.txt"
export VOZER_BUILD_DIR="$job/build" VOZER_SOURCE_DIR="$job/source" VOZER_EXE_SUFFIX=.exe VOZER_LIB_SUFFIX=.dll
export VOZER_TARGET=win32 VOZER_WIN_ARCH=i686 VOZER_KEEP_FRAMES="$job/frames" VOZER_E2E_KEEP="$job/frames"
export VOZER_E2E_WAIT_SCALE=4
[ -d "$job/kit-game" ] && export VOZER_KIT_GAME="$job/kit-game"
[ -f "$job/reference/demo-x86_64.png" ] && export VOZER_DEMO_REFERENCE="$job/reference/demo-x86_64.png"
# shellcheck source=/dev/null
source "$job/source/tools/lib/env.sh"

# Wine's server and services started once for all cases (under emulation
# they take seconds to start), on output of their own.
wineserver -p </dev/null >/dev/null 2>&1
"$VOZER_WINE" cmd /c exit </dev/null >/dev/null 2>&1 || true

for case_path in "$@"; do
    name="$(basename "$case_path" .sh)"
    name="${name#case_}"
    started=$SECONDS
    rc=0
    timeout -k 10 "${VOZER_CASE_TIMEOUT:-600}" bash "$job/source/tests/e2e/driver.sh" "$job/source/$case_path" \
        >"$job/logs/$name.txt" 2>&1 </dev/null || rc=$?
    verdict=passed
    [ "$rc" -eq 0 ] || verdict=failed
    echo "$name $verdict $((SECONDS - started))" | tee -a "$job/results.txt"
done
wineserver -k >/dev/null 2>&1 || true
