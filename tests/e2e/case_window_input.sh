# The window host under Wine on a virtual screen of its own, driven with
# xdotool as a player would: a key reaches the Program as events 8 and 9 with
# the key states 3, 2 and 0; a click as event 6 with the code 510 at its
# client position; a refused close keeps the window and the next one ends the
# run; losing the focus sends event 10 with 1, tells the input library,
# releases the held keys and slows the frames to a 15 ms rest each. The Program also checks its window's frame (no
# maximise box at 600x400), icon and cursors, and drops a file on it, which
# arrives as FILE_DRAGGED with '/' separators.
# The development host has no windows: tests/core drives its headless host.
if [ "$VOZER_TARGET" != win32 ]; then
    echo "(headless host: covered by the window tests of tests/core)"
    return 0
fi
if ! command -v xdotool >/dev/null || ! command -v Xvfb >/dev/null; then
    fail "xdotool and Xvfb are needed (tools/lib/install-packages.sh installs them)"
    return 0
fi

# A screen of our own: nothing else's windows or pointer moves get in the way.
Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp 5>"$work/display" </dev/null >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
trap 'kill "$xvfb_pid" 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
export DISPLAY=":$(tr -d '[:space:]' <"$work/display")"

# The Program's traces have Windows line ends.
has_line() { [ -f "$2" ] && tr -d '\r' <"$2" | grep -qxF -- "$1"; }

use_program input
cp "$VOZER_BUILD_DIR/testinputs/inpmod_vtable$VOZER_LIB_SUFFIX" "$game/core/"
write_prog_xml 'developer_mode="1" console="1" logging="1"' '' 'input_implementations="inpmod_vtable"'

export VOZER_TEST_SIZE=600x400
run_game
unset VOZER_TEST_SIZE
expect_status 0
has_line "window found=1 maxbox=0 caption=1 client=600x400" "$game/trace.txt" || fail "a 600x400 window has a maximise box"

# wait_trace LINE: wait up to 10 s for the Program to write LINE.
wait_trace() {
    for _ in $(seq 100); do
        has_line "$1" "$game/trace.txt" && return 0
        kill -0 "$game_pid" 2>/dev/null || break
        sleep 0.1
    done
    has_line "$1" "$game/trace.txt" || fail "the Program never wrote: $1"
}
alt_f4() {
    xdotool keydown alt
    sleep 0.1
    xdotool keydown F4
    sleep 0.1
    xdotool keyup F4
    xdotool keyup alt
}

rm -f "$game/trace.txt" "$game/input.txt"
# (A run that the checks below fail to end stops after a minute.)
(cd "$game" && VOZER_TEST_INTERACTIVE=1 timeout 60 "$VOZER_SOURCE_DIR/tools/wine-exec" ./vozer_runtime.exe \
    >"$work/output.txt" 2>&1; echo $? >"$work/status") &
game_pid=$!
wait_trace "ready"
for line in "window found=1 maxbox=1 caption=1 client=800x600" "icon 1" "cursor finger=1" "cursor pipet=1" \
    "cursor unknown-is-arrow=1" "named FILE_DRAGGED 'C:/games/level 2/map.png' 7,9"; do
    has_line "$line" "$game/trace.txt" || fail "trace lacks: $line"
done
read -r ox oy < <(tr -d '\r' <"$game/trace.txt" | sed -n 's/^origin \(-\?[0-9]*\) \(-\?[0-9]*\)$/\1 \2/p')
# Keys go to the window under the pointer (there is no window manager).
xdotool mousemove $((ox + 400)) $((oy + 300))
sleep 0.2

xdotool keydown a
sleep 0.3
xdotool keyup a
wait_trace "key up 65 state 0"
has_line "key down 65 states 3 2" "$game/trace.txt" || fail "a key press did not read back 3 then 2"
has_line "char 97" "$game/trace.txt" || fail "no character event for the key"

xdotool mousemove $((ox + 100)) $((oy + 50)) click 1
wait_trace "button up 510 mouse 0 at 100,50"
has_line "button down 510 mouse 0 at 100,50" "$game/trace.txt" || fail "no button-down event at 100,50"

# Holding Shift makes the Program move the focus to another window of its own.
xdotool mousemove $((ox + 400)) $((oy + 300))
sleep 0.2
xdotool keydown shift
wait_trace "shift after deactivation 0"
xdotool keyup shift
has_line "key down 16 states 3 2" "$game/trace.txt" || fail "Shift was not seen held"
grep -q "^activation 1 " "$game/trace.txt" || fail "no event 10 with 1 on losing the focus"
wait_trace "activation 0 shift 0"
# An inactive window rests 15 ms after each frame (its game runs on, slowly).
shortest=$(tr -d '\r' <"$game/trace.txt" | sed -n 's/^inactive frames 5 shortest \([0-9]*\) ms$/\1/p')
[ -n "$shortest" ] || fail "the Program did not report its inactive frames"
[ "${shortest:-0}" -ge 15 ] || fail "an inactive window's frame took only $shortest ms (it rests 15 ms)"

xdotool mousemove $((ox + 400)) $((oy + 300))
sleep 0.2
alt_f4
wait_trace "close refused"
wait_trace "still running after refusal"
alt_f4
wait_trace "close accepted"
for _ in $(seq 100); do [ -s "$work/status" ] && break; sleep 0.1; done
status=$(cat "$work/status" 2>/dev/null || echo none)
echo "--- runtime output (exit code $status)"
cat "$work/output.txt"
echo "--- trace"
cat "$game/trace.txt"
echo "--- input library"
cat "$game/input.txt"
[ "$status" = 0 ] || fail "the interactive run ended with $status"
for line in "active 0" "active 1"; do
    has_line "$line" "$game/input.txt" || fail "the input library was not told: $line"
done
