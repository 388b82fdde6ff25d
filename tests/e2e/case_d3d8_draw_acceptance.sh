# A Program draws through the engine API in full screen with the Direct3D 8
# renderer: bitmaps plain, rotated and scaled and as a section, a filled
# rectangle, lines and a render target. The frame VOZER_CAPTURE keeps must have
# the pixels frame_check.py works out for that scene. Half-way through, the
# device is lost by leaving the full-screen game; the render target comes back
# through event 17 at its size, and the Program's redraw of it is what shows.
if [ "$VOZER_TARGET" != win32 ]; then
    echo "the Direct3D 8 renderer exists in the Windows builds only"
    return 0
fi
use_program draw
program_folder="Vozer Tests/Draw_Test"
cp "$VOZER_BUILD_DIR/core/gfxmod_d3d8$VOZER_LIB_SUFFIX" "$game/core/"
write_prog_xml 'developer_mode="1" logging="1" console="1"'
python3 "$VOZER_SOURCE_DIR/tests/e2e/frame_check.py" write-quad "$game/quad.png"
export VOZER_RENDERER=gfxmod_d3d8.dll
export VOZER_CAPTURE=frame.png
run_game
show_log
expect_status 0
expect_trace "bitmap 1" -eq 1
expect_trace "target 1" -eq 1
expect_trace "lost target 64x32" -eq 1
expect_trace "lost other" -eq 0
expect_trace "redrawn 2" -eq 1
expect_log "D3D Device lost. Not rendering until properly reset." -eq 1
expect_log "D3D Device reset ok." -eq 1
expect_log "Frame of 1024x768 captured to 'frame.png'." -eq 1
if [ -f "$game/frame.png" ]; then
    python3 "$VOZER_SOURCE_DIR/tests/e2e/frame_check.py" draw-scene "$game/frame.png" \
        || fail "the captured frame differs from the scene"
    # VOZER_KEEP_FRAMES=DIR keeps the frame for a person to look at.
    [ -z "${VOZER_KEEP_FRAMES:-}" ] || cp "$game/frame.png" "$VOZER_KEEP_FRAMES/d3d8_draw_acceptance.png"
else
    fail "no frame.png was written"
fi
