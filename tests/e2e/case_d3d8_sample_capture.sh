# The sample game as shipped, with its configured Direct3D 8 renderer (not the
# headless one): it starts, runs its frames, and VOZER_CAPTURE leaves the last
# presented frame as a PNG of the window's size.
if [ "$VOZER_TARGET" != win32 ]; then
    echo "the Direct3D 8 renderer exists in the Windows builds only"
    return 0
fi
use_sample
cp "$VOZER_BUILD_DIR/core/gfxmod_d3d8$VOZER_LIB_SUFFIX" "$game/core/"
unset VOZER_RENDERER
export VOZER_EXIT_AFTER_FRAMES=5 VOZER_CAPTURE=frame.png
run_game
show_log
expect_status 0
expect_log "Direct3D8 initialization ok." -eq 1
expect_log "Frame of 800x600 captured to 'frame.png'." -eq 1
expect_log "RendImpD3D8::Shutdown.." -eq 1
if [ -f "$game/frame.png" ]; then
    size=$(od -An -tx1 -j16 -N8 "$game/frame.png" | tr -d ' \n')
    [ "$size" = "0000032000000258" ] || fail "frame.png is not 800x600 (IHDR size $size)"
else
    fail "no frame.png was written"
fi
