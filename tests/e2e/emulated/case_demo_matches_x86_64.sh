# The demo folder as it ships (the product, i686), played with its Direct3D 8
# renderer for 60 frames of exactly 16 ms (VOZER_FIXED_FRAME_MS), shows the
# picture the x86_64 build of the same sources shows under 64-bit Wine
# (VOZER_DEMO_REFERENCE, captured the same way). The two builds differ in
# their floating-point code (x87 against SSE) and their Wine, not in what
# they draw: the frames have come out identical, and at most 0.1% of the
# pixels may differ by more than 8 in a channel (an antialiased edge a
# fraction of a pixel apart). Colours mangled on the x87 unit once changed
# 0.3% by more than 24.
[ -f "${VOZER_DEMO_REFERENCE:-}" ] || { fail "no reference frame (VOZER_DEMO_REFERENCE)"; return 0; }
rm -rf "$game"
cp -r "$VOZER_SOURCE_DIR/dist/win32/demo" "$game" || { fail "no demo folder in dist/win32"; return 0; }
rm -f "$game/frame.png"
program_folder="Vozer/Vozer_Sample_Game"
unset VOZER_RENDERER
export VOZER_FIXED_FRAME_MS=16 VOZER_EXIT_AFTER_FRAMES=60 VOZER_CAPTURE=frame.png
run_game
expect_status 0
if [ -f "$game/frame.png" ]; then
    [ -z "${VOZER_KEEP_FRAMES:-}" ] || cp "$game/frame.png" "$VOZER_KEEP_FRAMES/demo-i686.png"
    python3 "$VOZER_SOURCE_DIR/tests/e2e/frame_check.py" same "$game/frame.png" "$VOZER_DEMO_REFERENCE" 8 0.001 \
        || fail "the i686 demo's frame is not the x86_64 one"
else
    fail "no frame.png was written"
fi
