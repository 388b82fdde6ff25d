# A game asks for a font that exists only as a source beside it: the runtime
# generates it from DejaVu Sans through FreeType, saves the .mft into the game
# folder, and the game measures (without kerning: a UTF-8 font the runtime
# makes has none), wraps and draws text. The
# second run loads the saved file instead of generating again.
use_program text
mkdir -p "$game/fonts"
cp "$VOZER_DEJAVU_DIR/DejaVuSans.ttf" "$game/fonts/"
cat >"$game/fonts/e2e.mft.xml" <<'XML'
<?xml version="1.0" encoding="utf-8"?>
<vudozar>
  <array id="settings">
    <node id="INPUT" ttf="res://fonts/DejaVuSans.ttf" size_px="16"/>
    <node id="SPACING" value="1"/>
  </array>
  <array id="additional_utf_characters"><node id="üß"/></array>
</vudozar>
XML
run_game
expect_status 0
expect_trace "mft-before 0" -eq 1
expect_trace "font 1" -eq 1
expect_trace "same 1" -eq 1
expect_trace "mft-after 1" -eq 1
expect_trace "measured 1" -eq 1
expect_trace "unkerned 1" -eq 1
expect_trace "two-lines 1" -eq 1
expect_trace "wrapped 1" -eq 1
expect_trace "null-font 1" -eq 1
expect_trace "drawn 1" -ge 3
expect_trace "released 1" -eq 1
expect_no_output "Unable to load font"
[ -s "$game/fonts/e2e.mft" ] || fail "the generated font was not saved"

# Without its source and outline font the saved file is all the game needs.
rm "$game/fonts/e2e.mft.xml" "$game/fonts/DejaVuSans.ttf" "$game/trace.txt"
run_game
expect_status 0
expect_trace "mft-before 1" -eq 1
expect_trace "unkerned 1" -eq 1
expect_trace "drawn 1" -ge 3
expect_no_output "Unable to load font"
