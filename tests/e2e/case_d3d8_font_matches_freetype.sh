# A font made from DejaVu Sans at 16 px, saved and loaded back, draws text
# through the Direct3D 8 renderer that matches what FreeType itself renders
# for the same characters at the same size (ink, size and baseline of each
# glyph in its cell). Made by the runtime it is a UTF-8 font without
# kerning: "AV" and "To" stand as their images side by side with the
# font's spacing; compiled with vozer-font --kern they stand tighter, yet
# apart.
if [ "$VOZER_TARGET" != win32 ]; then
    echo "the Direct3D 8 renderer exists in the Windows builds only"
    return 0
fi
use_program glyphs
program_folder="Vozer Tests/Glyphs_Test"
cp "$VOZER_BUILD_DIR/core/gfxmod_d3d8$VOZER_LIB_SUFFIX" "$game/core/"
export VOZER_RENDERER=gfxmod_d3d8.dll
mkdir -p "$game/fonts"
cp "$VOZER_DEJAVU_DIR/DejaVuSans.ttf" "$game/fonts/"
cat >"$game/fonts/e2e.mft.xml" <<'XML'
<?xml version="1.0" encoding="utf-8"?>
<vudozar>
  <array id="settings">
    <node id="INPUT" ttf="res://fonts/DejaVuSans.ttf" size_px="16"/>
    <node id="SPACING" value="1"/>
  </array>
</vudozar>
XML

# FreeType's layout of the same lines, from the outline font.
reference=$work/reference
mkdir -p "$reference"
glyphs() {
    if [ "$VOZER_TARGET" = win32 ]; then
        (cd "$game/fonts" && "$VOZER_SOURCE_DIR/tools/wine-exec" "$VOZER_BUILD_DIR/testtools/vozer_test_glyphs.exe" DejaVuSans.ttf 16 "$@")
    else
        (cd "$game/fonts" && "$VOZER_BUILD_DIR/testtools/vozer_test_glyphs" DejaVuSans.ttf 16 "$@")
    fi | tr -d '\r'
}
glyphs Hamburgefonts >"$reference/line1.txt"
glyphs AV >"$reference/line2.txt"
glyphs AV nokern >"$reference/line2-nokern.txt"
glyphs To >"$reference/line3.txt"
glyphs To nokern >"$reference/line3-nokern.txt"
grep -q "^advance" "$reference/line3-nokern.txt" || fail "the FreeType reference tool gave no layout"

run_game  # generates and saves fonts/e2e.mft
expect_status 0
[ -s "$game/fonts/e2e.mft" ] || fail "the generated font was not saved"

# The second run has only the saved file.
rm "$game/fonts/e2e.mft.xml" "$game/fonts/DejaVuSans.ttf" "$game/trace.txt"
export VOZER_CAPTURE=frame.png
run_game
expect_status 0
expect_trace "font 1" -eq 1
expect_no_output "Unable to load font"
if [ -f "$game/frame.png" ]; then
    python3 "$VOZER_SOURCE_DIR/tests/e2e/frame_check.py" text "$game/frame.png" "$reference" unkerned \
        || fail "the drawn text differs from FreeType's"
    [ -z "${VOZER_KEEP_FRAMES:-}" ] || cp "$game/frame.png" "$VOZER_KEEP_FRAMES/font_matches_freetype.png"
else
    fail "no frame.png was written"
fi

# The same font compiled with kerning by the kit's tool, as the sample's are.
font_tool="$VOZER_SOURCE_DIR/build/release/vozer-font"
[ -x "$font_tool" ] || fail "no vozer-font in build/release (tools/build makes it)"
cp "$VOZER_DEJAVU_DIR/DejaVuSans.ttf" "$work/"
cat >"$work/kerned.mft.xml" <<'XML'
<?xml version="1.0" encoding="utf-8"?>
<vudozar>
  <array id="settings">
    <node id="INPUT" ttf="DejaVuSans.ttf" size_px="16"/>
    <node id="SPACING" value="1"/>
  </array>
</vudozar>
XML
"$font_tool" --kern "$work/kerned.mft.xml" "$game/fonts/e2e.mft" >/dev/null || fail "vozer-font --kern failed"
rm -f "$game/frame.png" "$game/trace.txt"
run_game
expect_status 0
expect_trace "font 1" -eq 1
[ -f "$game/frame.png" ] || fail "no frame.png was written with the kerned font"
python3 "$VOZER_SOURCE_DIR/tests/e2e/frame_check.py" text "$game/frame.png" "$reference" kerned \
    || fail "the kerned font's text differs from FreeType's"
