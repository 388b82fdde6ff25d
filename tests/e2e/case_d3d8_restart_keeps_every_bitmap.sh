# A game shows one bitmap of every kind (a single image, numbered frames found
# by their base name, a .bms sequence with an atlas and one without, a bitmap
# it made, a render target, a bitmap downloaded over http:// and a line of
# text), then switches to full screen with Reinitialize and back. Under
# Direct3D 8 the renderer restarts each time and every texture is lost: the
# last frame before full screen and the last frame after it must be the same
# pixels, each tile of its own colour. The http server answers one request
# only, so the bitmap must come back from the download cache.
use_program restart
program_folder="Vozer Tests/Restart_Test"

python3 - "$game" "$work" <<'PY'
import os, struct, sys, zlib
game, work = sys.argv[1], sys.argv[2]
def png(path, rgb, size=32):
    raw = b"".join(b"\0" + bytes(rgb + (255,)) * size for _ in range(size))
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
                + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))
png(f"{game}/single.png", (255, 0, 0))
for n, rgb in enumerate([(40, 40, 40), (0, 255, 0), (90, 90, 90)]):
    png(f"{game}/walk{n:04d}.png", rgb)
for folder, colours in (("anim", [(10, 10, 10), (20, 20, 20), (0, 0, 255)]), ("steps", [(30, 30, 30), (255, 255, 0)])):
    os.makedirs(f"{work}/{folder}", exist_ok=True)
    for n, rgb in enumerate(colours):
        png(f"{work}/{folder}/f{n:04d}.png", rgb)
os.makedirs(f"{work}/www", exist_ok=True)
png(f"{work}/www/net.png", (255, 0, 255))
PY

# The two sequence files, made by the kit's tool: one atlas, and frame by frame.
atlas() {
    if [ "$VOZER_TARGET" = win32 ]; then
        (cd "$work" && "$VOZER_SOURCE_DIR/tools/wine-exec" "$VOZER_BUILD_DIR/vozer-atlas.exe" "$@")
    else
        (cd "$work" && "$VOZER_BUILD_DIR/vozer-atlas" "$@")
    fi >>"$work/atlas.txt" 2>&1 || fail "vozer-atlas $* failed: $(cat "$work/atlas.txt")"
}
atlas 'anim/f*.png' anim.bms
atlas --frames 'steps/f*.png' steps.bms
cp "$work/anim.bms" "$work/steps.bms" "$game/"
cp -r "$VOZER_BUILD_DIR/fonts/demo/." "$game/"

# Earlier runs under Wine share the prefix's user data: start without a cache.
program_data_folders | while read -r folder; do rm -rf "$folder/cache"; done
server_args=(--port-file "$work/port" --root "$work/www" --requests 1 --seconds 120)
if [ "$VOZER_TARGET" = win32 ]; then
    "$VOZER_SOURCE_DIR/tools/wine-exec" "$VOZER_BUILD_DIR/testtools/vozer_test_httpd.exe" "${server_args[@]}" \
        >"$work/server.txt" 2>&1 &
else
    "$VOZER_BUILD_DIR/testtools/vozer_test_httpd" "${server_args[@]}" >"$work/server.txt" 2>&1 &
fi
server_pid=$!
for _ in $(seq 300); do [ -s "$work/port" ] && break; sleep 0.1; done
port=$(tr -d '[:space:]' <"$work/port" 2>/dev/null)
[ -n "$port" ] || fail "the test server did not start: $(cat "$work/server.txt")"

if [ "$VOZER_TARGET" = win32 ]; then
    cp "$VOZER_BUILD_DIR/core/gfxmod_d3d8$VOZER_LIB_SUFFIX" "$game/core/"
    export VOZER_RENDERER=gfxmod_d3d8.dll VOZER_CAPTURE='frame*.png'
fi
# The virtual screen offers 1024x768 only: full screen scales the game's
# 800x600 into it, and the window is 800x600 again.
write_prog_xml 'developer_mode="1" logging="1" console="1"' 'reference_resolution="800x600"' \
    'resolutions="1024x768,800x600"'
run_game "http_port=$port"
kill "$server_pid" 2>/dev/null
wait "$server_pid" 2>/dev/null
show_log
expect_status 0
expect_trace "loaded 7" -eq 1
expect_trace "font 1" -eq 1
expect_trace "pixels walk 1 FF00FF00" -eq 1
expect_trace "lost other" -eq 0
expect_log "has no pixels" -eq 0
expect_log "Unable to load bitmap" -eq 0
expect_log "Unable to upload bitmap" -eq 0
expect_log "Done downloading" -eq 1
grep -q "served 1 requests" "$work/server.txt" || fail "server: $(cat "$work/server.txt")"

if [ "$VOZER_TARGET" != win32 ]; then
    # The headless renderer changes mode in place: nothing to restart.
    expect_trace "mode .* 0" -eq 1
    expect_trace "mode .* 1" -eq 1
    return 0
fi
expect_trace "mode 1024 768 0" -eq 1
expect_trace "mode 800 600 1" -eq 1
expect_trace "lost target" -ge 2
expect_log "Frame of 800x600 captured to 'frame1.png'." -eq 1
expect_log "Frame of 800x600 captured to 'frame3.png'." -eq 1
for n in 1 2 3; do
    [ -f "$game/frame$n.png" ] || fail "no frame$n.png was written"
    [ -z "${VOZER_KEEP_FRAMES:-}" ] || cp "$game/frame$n.png" "$VOZER_KEEP_FRAMES/restart_frame$n.png"
done
if [ -f "$game/frame1.png" ] && [ -f "$game/frame3.png" ]; then
    python3 "$VOZER_SOURCE_DIR/tests/e2e/frame_check.py" restart "$game/frame1.png" "$game/frame3.png" \
        || fail "the frames before and after the restarts differ from the scene or from each other"
fi
[ -f "$game/frame2.png" ] && { python3 "$VOZER_SOURCE_DIR/tests/e2e/frame_check.py" not-blank "$game/frame2.png" 8 \
    || fail "the full-screen frame is blank"; }
true
