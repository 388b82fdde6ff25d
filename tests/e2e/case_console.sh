# The developer console under Wine with the Direct3D 8 renderer on a virtual
# screen of its own, typed into with xdotool as a developer would: the toggle
# key opens it and its character is never typed into it nor given to the
# Program (the key is configured as Tab here: the virtual screen's keyboard
# has no key for the default '§', which tests/diag covers); an
# entered line reaches the Program as event 7 and is echoed into the log;
# Up, Up, Down walk the history; a word on the input line filters the log
# view and its matches are drawn in the highlight colour in the captured frame.
# Without a window the development host runs the Program to its end with the
# console switched on and the headless renderer (tests/diag covers the rest).
# VOZER_E2E_WAIT_SCALE=N waits N times as long for the game (emulated machines
# start and draw several times slower).
use_program console
if [ "$VOZER_TARGET" != win32 ]; then
    write_prog_xml 'developer_mode="1" console="1" logging="1"'
    run_game "lines=20000"
    expect_status 0
    expect_log "apple tart" -eq 1
    expect_log "filler line 19999" -eq 1
    return 0
fi
if ! command -v xdotool >/dev/null || ! command -v Xvfb >/dev/null; then
    fail "xdotool and Xvfb are needed (tools/lib/install-packages.sh installs them)"
    return 0
fi

Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp 5>"$work/display" </dev/null >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
trap 'kill "$xvfb_pid" 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
export DISPLAY=":$(tr -d '[:space:]' <"$work/display")"

cp "$VOZER_BUILD_DIR/core/gfxmod_d3d8$VOZER_LIB_SUFFIX" "$game/core/"
cp "$VOZER_BUILD_DIR/fonts/core/console.mft" "$game/core/"
unset VOZER_RENDERER
cat >"$game/prog.xml" <<XML
<?xml version="1.0" encoding="utf-8"?>
<vudozar>
  <array id="PARAMETERS">
    <node id="APPLICATION" fps_limit="60" />
    <node id="DEVELOPER" developer_mode="1" console="1" logging="1" console_toggle_key="TAB" />
  </array>
  <array id="VARIANTS">
    <node id="WINDOWS" renderer_implementation="gfxmod_d3d8" />
  </array>
</vudozar>
XML

scale=${VOZER_E2E_WAIT_SCALE:-1}
has_line() { [ -f "$2" ] && tr -d '\r' <"$2" | grep -qxF -- "$1"; }
count_lines() { tr -d '\r' <"$game/trace.txt" | grep -cxF -- "$1"; }
wait_trace() {
    for _ in $(seq $((150 * scale))); do
        has_line "$1" "$game/trace.txt" && return 0
        kill -0 "$game_pid" 2>/dev/null || break
        sleep 0.1
    done
    has_line "$1" "$game/trace.txt" || fail "the Program never wrote: $1"
}
# wait_count LINE N: wait up to 10 s (times the scale) until LINE is in the trace N times.
wait_count() {
    for _ in $(seq $((100 * scale))); do
        [ "$(count_lines "$1")" -ge "$2" ] && return 0
        sleep 0.1
    done
    fail "the Program wrote '$1' $(count_lines "$1") times, expected $2"
}

(cd "$game" && VOZER_TEST_INTERACTIVE=1 VOZER_CAPTURE=console.png timeout $((90 * scale)) \
    "$VOZER_SOURCE_DIR/tools/wine-exec" ./vozer_runtime.exe "lines=300" >"$work/output.txt" 2>&1; echo $? >"$work/status") &
game_pid=$!
wait_trace "ready 1"
window=$(xdotool search --name "^Console Test$" 2>/dev/null | head -n 1)
[ -n "$window" ] || fail "no window named Console Test"
# Keys go to the window under the pointer (there is no window manager).
xdotool mousemove --window "$window" 300 200
sleep 0.3

# The first key may reach Wine before the window has taken the focus: press
# the toggle again while the console has not opened.
for _ in 1 2 3; do
    xdotool key Tab
    for _ in $(seq $((30 * scale))); do has_line "console 1" "$game/trace.txt" && break; sleep 0.1; done
    has_line "console 1" "$game/trace.txt" && break
    xdotool mousemove --window "$window" 310 210
    sleep 0.5
done
wait_trace "console 1"
xdotool type --delay 40 "one"
xdotool key Return
wait_trace "command one"
xdotool type --delay 40 "two"
xdotool key Return
wait_trace "command two"
# Up, Up, Down: back to the newer entry; Enter sends it again.
xdotool type --delay 40 "x"
xdotool key Up Up Down Return
wait_count "command two" 2
# History now: one, two, two. Up, Up, Up: the oldest.
xdotool key Up Up Up Return
wait_count "command one" 2
# A word on the input line filters the view; the frame shows it at exit.
xdotool type --delay 40 "apple"
# Nothing tells when the last letter was drawn; a busy machine needs the time.
sleep $((2 * scale))
touch "$game/quit.txt"
for _ in $(seq $((150 * scale))); do [ -s "$work/status" ] && break; sleep 0.1; done
status=$(cat "$work/status" 2>/dev/null || echo none)
echo "--- runtime output (exit code $status)"
cat "$work/output.txt"
echo "--- trace"
cat "$game/trace.txt"
[ "$status" = 0 ] || fail "the run ended with $status"
expect_trace "char" -eq 0           # the console took every character, the toggle's too
expect_trace "command x" -eq 0      # the unfinished input never went out
has_line "console 0" "$game/trace.txt" && fail "the console closed"
expect_log "apple tart" -eq 1
expect_log "] one" -ge 1            # entered lines are echoed into the log
expect_log "Frame of 640x480 captured to 'console.png'." -eq 1

# The captured frame: the console's panel colour and the highlight colour of
# the two "apple" matches are on it.
if [ -f "$game/console.png" ]; then
    cp "$game/console.png" "${VOZER_E2E_KEEP:-$work}/console.png" 2>/dev/null || true
    python3 - "$game/console.png" >"$work/pixels.txt" <<'PY' || fail "the captured frame could not be read"
import struct, sys, zlib
data = open(sys.argv[1], "rb").read()
pos, idat, width, height = 8, b"", 0, 0
while pos < len(data):
    length, kind = struct.unpack(">I4s", data[pos:pos + 8])
    body = data[pos + 8:pos + 8 + length]
    if kind == b"IHDR":
        width, height, depth, colour = struct.unpack(">IIBB", body[:10])
        channels = {2: 3, 6: 4}[colour]
    elif kind == b"IDAT":
        idat += body
    pos += 12 + length
raw = zlib.decompress(idat)
stride = width * channels
rows, previous = [], bytearray(stride)
for y in range(height):
    kind = raw[y * (stride + 1)]
    line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
    for i in range(stride):
        a = line[i - channels] if i >= channels else 0
        b = previous[i]
        c = previous[i - channels] if i >= channels else 0
        if kind == 1: line[i] = (line[i] + a) & 255
        elif kind == 2: line[i] = (line[i] + b) & 255
        elif kind == 3: line[i] = (line[i] + (a + b) // 2) & 255
        elif kind == 4:
            p = a + b - c
            pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
            line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
    rows.append(line)
    previous = line
highlight = sum(1 for line in rows for x in range(width)
                if abs(line[x * channels] - 0x11) < 24 and abs(line[x * channels + 1] - 0x99) < 24
                and line[x * channels + 2] > 0xE0)
print("highlight", highlight)
PY
    cat "$work/pixels.txt"
    read -r _ highlight <"$work/pixels.txt"
    [ "${highlight:-0}" -gt 20 ] || fail "no highlighted match on the captured frame"
else
    fail "no console.png was written"
fi
