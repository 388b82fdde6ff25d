# A sequence packed by vozer-atlas from generated frames (walk0000, 0001,
# 0003 and 0004: a gap, and a last frame that repeats the first) is loaded
# by a test Program as "anim" and played one tick a frame. With the
# Direct3D 8 renderer each run's last frame is captured: the pixels show
# the frame for that tick (a gap holds the earlier image).
frames=$work/frames
mkdir -p "$frames"
python3 - "$frames" <<'PY'
import struct, sys, zlib
def png(path, rgba):
    raw = b"".join(b"\0" + bytes(rgba) * 64 for _ in range(48))
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 64, 48, 8, 6, 0, 0, 0))
                + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))
for number, colour in ((0, (255, 0, 0, 255)), (1, (0, 255, 0, 255)), (3, (0, 0, 255, 255)), (4, (255, 0, 0, 255))):
    png("%s/walk%04d.png" % (sys.argv[1], number), colour)
PY
if [ "$VOZER_TARGET" = win32 ]; then
    (cd "$frames" && "$VOZER_SOURCE_DIR/tools/wine-exec" "$VOZER_BUILD_DIR/vozer-atlas.exe" 'walk*.png' anim.bms) \
        >"$work/atlas.txt" 2>&1
else
    (cd "$frames" && "$VOZER_BUILD_DIR/vozer-atlas" 'walk*.png' anim.bms) >"$work/atlas.txt" 2>&1
fi
atlas_status=$?
cat "$work/atlas.txt"
[ "$atlas_status" -eq 0 ] || fail "vozer-atlas ended with $atlas_status"
grep -q "anim.bms: 4 frames, one atlas image" "$work/atlas.txt" || fail "vozer-atlas did not report 4 frames in an atlas"
grep -q "(the image of #0)" "$work/atlas.txt" || fail "the repeated frame was not stored once"
cp "$frames/anim.bms" "$game/"
use_program sequence

# The colour a tick shows: numbers 0 1 3 4 loop every 5 ticks; tick 2 holds frame 1.
expected_colour() {
    case $(($1 % 5)) in
        0 | 4) echo "255 0 0" ;;
        1 | 2) echo "0 255 0" ;;
        3) echo "0 0 255" ;;
    esac
}

# The R G B of one pixel of a PNG (8-bit RGB or RGBA, any filters).
pixel_of() {
    python3 - "$1" "$2" "$3" <<'PY'
import struct, sys, zlib
data = open(sys.argv[1], "rb").read()
x, y = int(sys.argv[2]), int(sys.argv[3])
at, idat = 8, b""
while at < len(data):
    length, kind = struct.unpack(">I4s", data[at:at + 8])
    body = data[at + 8:at + 8 + length]
    if kind == b"IHDR":
        width, height, depth, colour = struct.unpack(">IIBB", body[:10])
    elif kind == b"IDAT":
        idat += body
    at += 12 + length
bpp = 4 if colour == 6 else 3
raw, stride, rows, prev = zlib.decompress(idat), width * bpp, [], bytearray(width * bpp)
for r in range(height):
    kind, line = raw[r * (stride + 1)], bytearray(raw[r * (stride + 1) + 1:(r + 1) * (stride + 1)])
    for i in range(stride):
        a = line[i - bpp] if i >= bpp else 0
        b, c = prev[i], prev[i - bpp] if i >= bpp else 0
        p = a + b - c
        pred = [0, a, b, (a + b) // 2, a if abs(p - a) <= abs(p - b) and abs(p - a) <= abs(p - c) else (b if abs(p - b) <= abs(p - c) else c)][kind]
        line[i] = (line[i] + pred) & 255
    rows.append(line)
    prev = line
print(*rows[y][x * bpp:x * bpp + 3])
PY
}

if [ "$VOZER_TARGET" != win32 ]; then
    # The headless renderer draws nothing to look at: the sequence still
    # loads and plays through the runtime.
    export VOZER_EXIT_AFTER_FRAMES=6
    run_game
    expect_status 0
    expect_trace "frames 4" -eq 1
    expect_trace "numbers 0,1,3,4" -eq 1
    expect_trace "atlas 1" -eq 1
    expect_trace "render 2 1" -eq 1
    expect_trace "render 3 2" -eq 1
    expect_trace "released 1" -eq 1
    expect_no_output "Unable to load bitmap"
    return 0
fi

cp "$VOZER_BUILD_DIR/core/gfxmod_d3d8$VOZER_LIB_SUFFIX" "$game/core/"
unset VOZER_RENDERER
sed -i 's/gfxmod_null/gfxmod_d3d8/' "$game/prog.xml"
for count in 1 2 3 4 5; do
    rm -f "$game/frame.png" "$game/trace.txt"
    VOZER_EXIT_AFTER_FRAMES=$count VOZER_CAPTURE=frame.png run_game
    expect_status 0
    expect_trace "frames 4" -eq 1
    expect_trace "numbers 0,1,3,4" -eq 1
    expect_no_output "Unable to load bitmap"
    last=$(grep "^render " "$game/trace.txt" | tail -n 1)
    tick=$(echo "$last" | cut -d' ' -f2)
    [ -n "$tick" ] || { fail "run of $count frames rendered nothing"; continue; }
    [ -f "$game/frame.png" ] || { fail "run of $count frames captured nothing"; continue; }
    cp "$game/frame.png" "$work/frame-$count.png"
    got=$(pixel_of "$game/frame.png" 110 110)
    want=$(expected_colour "$tick")
    [ "$got" = "$want" ] || fail "tick $tick shows '$got' at 110,110, expected '$want'"
    outside=$(pixel_of "$game/frame.png" 400 300)
    [ "$outside" != "$want" ] || fail "tick $tick: the frame's colour is also far outside the bitmap"
done
[ -n "${VOZER_KEEP_FRAMES:-}" ] && cp "$work"/frame-*.png "$VOZER_KEEP_FRAMES/" 2>/dev/null
true
