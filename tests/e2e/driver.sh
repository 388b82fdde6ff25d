#!/usr/bin/env bash
# Runs one end-to-end case (a case_*.sh file): lays out a game folder with this
# build's runtime, the headless renderer and a test Program, runs the runtime
# as a player would start it, and checks its exit code, output and the trace
# the test Program writes. Works for both builds (the Windows one under Wine).
set -u
case_file=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
game=$work/game
mkdir -p "$game/core"
cp "$VOZER_BUILD_DIR/vozer_runtime$VOZER_EXE_SUFFIX" "$game/"
cp "$VOZER_BUILD_DIR/core/gfxmod_null$VOZER_LIB_SUFFIX" "$game/core/"
export VOZER_USER_ROOT=$work/user VOZER_POPUPS=log VOZER_RENDERER=gfxmod_null.dll
failures=0

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# write_prog_xml [DEVELOPER ATTRIBUTES] [APPLICATION ATTRIBUTES] [VARIANT
# ATTRIBUTES]: the game's boot configuration.
write_prog_xml() {
    cat >"$game/prog.xml" <<XML
<?xml version="1.0" encoding="utf-8"?>
<vudozar>
  <array id="PARAMETERS">
    <node id="APPLICATION" fps_limit="120" ${2:-} />
    <node id="DEVELOPER" ${1:-} />
  </array>
  <array id="VARIANTS">
    <node id="WINDOWS" renderer_implementation="gfxmod_null" ${3:-} />
  </array>
</vudozar>
XML
}
write_prog_xml

# The layout-only Program exists in the 32-bit build; the header one in both.
default_program() {
    if [ -d "$VOZER_BUILD_DIR/testprogs/raw" ]; then echo raw; else echo probe; fi
}

# Where the Program's user data (and so its log) lives below the data root:
# its developer and title folder names.
program_folder=""

# use_sample: the sample game with its own boot configuration and resources.
use_sample() {
    program_folder="Vozer/Vozer_Sample_Game"
    cp "$VOZER_BUILD_DIR/samples/demo/prog$VOZER_LIB_SUFFIX" "$game/"
    cp -r "$VOZER_SOURCE_DIR/samples/demo/res/." "$game/"
    cp "$VOZER_BUILD_DIR/samples/demo/art.pak" "$game/" 2>/dev/null || true
    # Its fonts and the console font are compiled at build time too.
    cp -r "$VOZER_BUILD_DIR/fonts/demo/." "$game/"
    cp "$VOZER_BUILD_DIR/fonts/core/console.mft" "$game/core/"
}

use_program() {
    case "$1" in
        workers) program_folder="Vozer Tests/Workers_Test" ;;
        sounds) program_folder="Vozer Tests/Sounds_Test" ;;
        tones) program_folder="Vozer Tests/Tones_Test" ;;
        files) program_folder="Vozer Tests/Files_Test" ;;
        input) program_folder="Vozer Tests/Input_Test" ;;
        net) program_folder="Vozer Tests/Net_Test" ;;
        ext) program_folder="Vozer Tests/Extensions_Test" ;;
        leaks) program_folder="Vozer Tests/Leaks_Test" ;;
        console) program_folder="Vozer Tests/Console_Test" ;;
        *) program_folder="" ;;
    esac
    cp "$VOZER_BUILD_DIR/testprogs/$1/prog$VOZER_LIB_SUFFIX" "$game/"
}

run_game() {
    if [ "$VOZER_TARGET" = win32 ]; then
        (cd "$game" && "$VOZER_SOURCE_DIR/tools/wine-exec" ./vozer_runtime.exe "$@") >"$work/output.txt" 2>&1
    else
        (cd "$game" && ./vozer_runtime "$@") >"$work/output.txt" 2>&1
    fi
    status=$?
    echo "--- runtime output (exit code $status)"
    cat "$work/output.txt"
    echo "--- trace"
    cat "$game/trace.txt" 2>/dev/null
    echo "---"
}

expect_status() {
    [ "$status" -eq "$1" ] || fail "exit code $status, expected $1"
}

expect_output() {
    grep -qF -- "$1" "$work/output.txt" || fail "output lacks: $1"
}

expect_no_output() {
    ! grep -qF -- "$1" "$work/output.txt" || fail "output has: $1"
}

# expect_trace PATTERN OP COUNT: number of trace lines starting with PATTERN.
expect_trace() {
    local count
    count=$(grep -c "^$1" "$game/trace.txt" 2>/dev/null)
    count=${count:-0}
    [ "$count" "$2" "$3" ] || fail "trace has $count '$1' lines, expected $2 $3"
}

# The lines of the output matching PATTERN, in order, must be exactly the arguments.
expect_in_order() {
    local pattern=$1
    shift
    local got
    got=$(grep -oF -e "$1" -e "${2:-@@}" -e "${3:-@@}" -e "${4:-@@}" "$work/output.txt" | tr '\n' '|')
    local want
    want=$(printf '%s|' "$@")
    [ "$got" = "$want" ] || fail "$pattern in order: got '$got', expected '$want'"
}

# The log files this run wrote, newest last (the development host keeps them
# below VOZER_USER_ROOT, Wine below the prefix's drive).
started_marker=$work/started
touch "$started_marker"
run_logs() {
    local roots=("$VOZER_USER_ROOT")
    if [ "$VOZER_TARGET" = win32 ]; then
        # shellcheck source=/dev/null
        (source "$VOZER_SOURCE_DIR/tools/lib/env.sh" && echo "$WINEPREFIX") >"$work/prefix"
        roots+=("$(cat "$work/prefix")/drive_c")
    fi
    find "${roots[@]}" -path "*/$program_folder/logs/vozer-*.log" -newer "$started_marker" 2>/dev/null | sort
}

# expect_log TEXT OP COUNT: lines of this run's log file containing TEXT.
expect_log() {
    local log count
    log=$(run_logs | tail -n 1)
    [ -n "$log" ] || { fail "no log file was written"; return; }
    count=$(grep -cF -- "$1" "$log")
    [ "$count" "$2" "$3" ] || fail "log has $count lines with '$1', expected $2 $3"
}

# The folders of this run's user data (the development host keeps them below
# VOZER_USER_ROOT, Wine below the prefix's drive) that belong to the Program.
program_data_folders() {
    local roots=("$VOZER_USER_ROOT")
    if [ "$VOZER_TARGET" = win32 ]; then
        (source "$VOZER_SOURCE_DIR/tools/lib/env.sh" && echo "$WINEPREFIX") >"$work/prefix"
        roots+=("$(cat "$work/prefix")/drive_c")
    fi
    find "${roots[@]}" -type d -path "*/$program_folder" 2>/dev/null
}

show_log() {
    local log
    log=$(run_logs | tail -n 1)
    [ -n "$log" ] && { echo "--- log $log"; cat "$log"; echo "---"; }
}

# shellcheck source=/dev/null
source "$case_file"

if [ "$failures" -gt 0 ]; then
    echo "$failures check(s) failed in $(basename "$case_file")"
    exit 1
fi
echo "ok: $(basename "$case_file")"
