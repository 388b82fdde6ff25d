# A game draws with the renderer states a sprite game rarely touches: depths
# off the screen plane under two depth ranges, the depth test and depth
# writes, ClearDepth, culling, a pushed world transform, the
# "!DOT3_DIRECTIONAL" shader lit from two sides, an indexed triangle list
# and the blend modes 2, 7 and 0 in a row. Under Direct3D 8 the captured
# frame must hold the pixels frame_check.py works out for the scene.
use_program states
program_folder="Vozer Tests/States_Test"
python3 - "$game" <<'PY'
import struct, sys, zlib
def png(path, rgb, size=32):
    raw = b"".join(b"\0" + bytes(rgb + (255,)) * size for _ in range(size))
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
                + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))
png(sys.argv[1] + "/normals.png", (128, 128, 255))  # every normal faces the viewer
png(sys.argv[1] + "/stone.png", (200, 100, 50))
PY
write_prog_xml 'developer_mode="1" logging="1" console="1"'
export VOZER_EXIT_AFTER_FRAMES=4
if [ "$VOZER_TARGET" = win32 ]; then
    cp "$VOZER_BUILD_DIR/core/gfxmod_d3d8$VOZER_LIB_SUFFIX" "$game/core/"
    export VOZER_RENDERER=gfxmod_d3d8.dll VOZER_CAPTURE=frame.png
fi
run_game
show_log
expect_status 0
expect_trace "shader 1" -eq 1
expect_trace "param20 2.5" -eq 1
expect_log "not supported with this method" -eq 0
[ "$VOZER_TARGET" = win32 ] || return 0

expect_log "Frame of 640x480 captured to 'frame.png'." -eq 1
if [ -f "$game/frame.png" ]; then
    python3 "$VOZER_SOURCE_DIR/tests/e2e/frame_check.py" states "$game/frame.png" \
        || fail "the captured frame differs from the scene"
    [ -z "${VOZER_KEEP_FRAMES:-}" ] || cp "$game/frame.png" "$VOZER_KEEP_FRAMES/render_states.png"
else
    fail "no frame.png was written"
fi
