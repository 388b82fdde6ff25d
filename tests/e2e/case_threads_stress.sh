# Eight worker threads of the stress Program hammer bitmaps, sequences,
# sounds, music, fonts, pak reads, file lists, HTTP downloads (some
# cancelled), the log, popups and mutexes for VOZER_STRESS_SECONDS (default
# 5) while the main thread draws, reads download progress, types into the
# console (on the development host the headless host types) and restarts the
# renderer every second. At the end every reference count is balanced,
# nothing is reported leaked, every worker's log line is in the log file, and
# the sanitizers of the build (ThreadSanitizer in build/tsan) report nothing.
seconds=${VOZER_STRESS_SECONDS:-5}
use_program stress
program_folder="Vozer Tests/Stress_Test"
cp "$VOZER_BUILD_DIR/core/sndmod_wave$VOZER_LIB_SUFFIX" "$game/core/"

# Images: three small ones, a large one, numbered frames and a packed sequence.
mkdir -p "$game/img" "$game/seq" "$work/frames" "$game/sfx" "$game/music" "$game/fonts"
python3 - "$game" "$work/frames" <<'PY'
import struct, sys, zlib
def png(path, width, height, rgba):
    raw = b"".join(b"\0" + bytes(rgba) * width for _ in range(height))
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
                + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))
game, frames = sys.argv[1], sys.argv[2]
png(game + "/img/red.png", 32, 32, (255, 0, 0, 255))
png(game + "/img/green.png", 48, 16, (0, 255, 0, 128))
png(game + "/img/blue.png", 16, 64, (0, 0, 255, 255))
png(game + "/img/big.png", 512, 256, (200, 100, 50, 255))
for n in range(4):
    png("%s/seq/walk%04d.png" % (game, n), 24, 24, (60 * n, 255 - 60 * n, 0, 255))
    png("%s/walk%04d.png" % (frames, n), 20, 30, (0, 60 * n, 255, 255))
PY
if [ "$VOZER_TARGET" = win32 ]; then
    (cd "$work/frames" && "$VOZER_SOURCE_DIR/tools/wine-exec" "$VOZER_BUILD_DIR/vozer-atlas.exe" 'walk*.png' anim.bms) \
        >"$work/atlas.txt" 2>&1 || fail "vozer-atlas failed: $(cat "$work/atlas.txt")"
else
    (cd "$work/frames" && "$VOZER_BUILD_DIR/vozer-atlas" 'walk*.png' anim.bms) >"$work/atlas.txt" 2>&1 \
        || fail "vozer-atlas failed: $(cat "$work/atlas.txt")"
fi
cp "$work/frames/anim.bms" "$game/"

sox -n -r 22050 -b 16 -c 1 "$game/sfx/blip.wav" synth 0.05 sine 880 || fail "sox could not make a sound"
sox -n -r 44100 -b 16 -c 2 "$game/sfx/tone.wav" synth 0.3 sine 440 || fail "sox could not make a sound"
sox -n -r 44100 -c 1 "$game/music/loop.ogg" synth 1 sine 330 vol 0.5 || fail "sox could not make the music"

# A font generated from its source by the first worker that asks.
cp "$VOZER_DEJAVU_DIR/DejaVuSans.ttf" "$game/fonts/"
cat >"$game/fonts/stress.mft.xml" <<'XML'
<?xml version="1.0" encoding="utf-8"?>
<vudozar>
  <array id="settings">
    <node id="INPUT" ttf="res://fonts/DejaVuSans.ttf" size_px="14"/>
  </array>
  <array id="additional_utf_characters"><node id="stressworkfa0123456789"/></array>
</vudozar>
XML

# The pak the workers read and list: data/fileN.txt of 1000 + 37 N bytes.
python3 - "$work/content/data" <<'PY'
import os, sys
os.makedirs(sys.argv[1], exist_ok=True)
for n in range(6):
    with open("%s/file%d.txt" % (sys.argv[1], n), "wb") as f:
        f.write(bytes(ord("a") + (i * 7 + n) % 26 for i in range(1000 + n * 37)))
PY
if [ "$VOZER_TARGET" = win32 ]; then
    cp "$VOZER_BUILD_DIR/vozer-pak.exe" "$work/"
    (cd "$work" && "$VOZER_SOURCE_DIR/tools/wine-exec" ./vozer-pak.exe create content game/content.pak) \
        >"$work/pak.txt" 2>&1 || fail "vozer-pak failed: $(cat "$work/pak.txt")"
else
    "$VOZER_BUILD_DIR/vozer-pak" create "$work/content" "$game/content.pak" >"$work/pak.txt" 2>&1 \
        || fail "vozer-pak failed: $(cat "$work/pak.txt")"
fi

# The loopback server: a small answer to check, and a large file that
# trickles long enough to be cancelled.
mkdir -p "$work/www"
printf 'small answer' >"$work/www/small.txt"
server_program="$VOZER_BUILD_DIR/testtools/vozer_test_httpd$VOZER_EXE_SUFFIX"
server_args=(--port-file "$work/port" --pattern "big.bin:8000000" --root "$work/www" --seconds $((seconds + 120)))
if [ "$VOZER_TARGET" = win32 ]; then
    "$VOZER_SOURCE_DIR/tools/wine-exec" "$server_program" "${server_args[@]}" >"$work/server.txt" 2>&1 &
else
    "$server_program" "${server_args[@]}" >"$work/server.txt" 2>&1 &
fi
server_pid=$!
trap 'kill "$server_pid" 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 300); do [ -s "$work/port" ] && break; sleep 0.1; done
port=$(tr -d '[:space:]' <"$work/port" 2>/dev/null)
[ -n "$port" ] || fail "the test server did not start: $(cat "$work/server.txt")"

write_prog_xml 'developer_mode="1" logging="1" console="1" console_toggle_key="TAB"' 'packages="content"' \
    'sound_implementation="sndmod_wave"'
# The console opens (Tab), takes a command and closes, over and over.
export VOZER_HEADLESS_TYPING=$'\tstress command\n\t'
run_game "seconds=$seconds" "http_port=${port:-0}" >"$work/run.txt"
kill "$server_pid" 2>/dev/null
# tools/stress keeps the whole output for reading the findings.
if [ -n "${VOZER_STRESS_KEEP:-}" ]; then
    cp "$work/output.txt" "$VOZER_STRESS_KEEP"
    cp "$(run_logs | tail -n 1)" "$VOZER_STRESS_KEEP.log" 2>/dev/null
fi
# The whole output would drown the report: its end, the sanitizers' findings
# in short, and the first few in full.
tail -n 40 "$work/run.txt"
if grep -qE "^SUMMARY: |runtime error" "$work/output.txt"; then
    echo "--- sanitizer findings"
    grep -E "^SUMMARY: |runtime error" "$work/output.txt" | sort | uniq -c | sort -rn
    echo "--- the first in full"
    sed -n '/^WARNING: ThreadSanitizer\|ERROR: AddressSanitizer\|ERROR: LeakSanitizer\|runtime error/,$p' "$work/output.txt" \
        | head -n 400
    echo "---"
fi
expect_status 0
expect_no_output "ThreadSanitizer"
expect_no_output "AddressSanitizer"
expect_trace "done 1" -eq 1
expect_trace "balanced 1" -eq 1
expect_trace "errors 0" -eq 1
expect_trace "mutex-total 1" -eq 1
expect_trace "shutdown 1" -eq 1
grep "^unbalanced" "$game/trace.txt" 2>/dev/null
# (A Windows Program writes its trace with CR LF line ends.)
reinits=$(sed -n 's/^reinits //p' "$game/trace.txt" 2>/dev/null | tr -d '\r')
[ "${reinits:-0}" -ge $((seconds / 2)) ] || fail "only ${reinits:-0} renderer restarts in $seconds s"
# Each renderer restart shuts the headless renderer down: never with a texture left.
expect_log "textures alive at shutdown." -ge $((seconds / 2))
expect_log "textures alive at shutdown." -eq "$(grep -cF " 0 textures alive at shutdown." "$(run_logs | tail -n 1)")"
expect_log "at exit, releasing" -eq 0
expect_log "reference count less than zero" -eq 0
expect_log "stress worker" -eq 0
# Never an upload without pixels, nor a texture release of a texture not there.
expect_log "has no pixels. This should never happen." -eq 0
expect_log "hw data is not ready" -eq 0
expect_log "not found." -eq 0
gotten=$(sed -n 's/^gotten //p' "$game/trace.txt" 2>/dev/null | tr -d '\r')
expect_log "too many times" -eq "${gotten:-0}"
# Not one worker line lost: each worker's count of "step" lines is in the file.
log=$(run_logs | tail -n 1)
for worker in 0 1 2 3 4 5 6 7; do
    logged=$(sed -n "s/^logged $worker //p" "$game/trace.txt" 2>/dev/null | tr -d '\r')
    found=$(grep -cF "[stress-$worker]> step " "$log" 2>/dev/null)
    [ -n "$logged" ] && [ "$logged" -gt 0 ] && [ "$found" = "$logged" ] \
        || fail "worker $worker logged ${logged:-nothing}, the log file has $found of its lines"
done
if [ "$VOZER_TARGET" != win32 ]; then
    expect_log "console said: stress command" -ge 1
fi
