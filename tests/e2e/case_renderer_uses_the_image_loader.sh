# A renderer plug-in finds the runtime's image loader in the runtime state
# and uses it across the library boundary: it loads the game's res://probe.png
# (a red and a half-transparent blue pixel) into its own bitmap record, saves
# it as user://probe-saved.tga, loads that back, reads a header only, and
# takes and frees pixel memory. Pixels are in the renderer's B,G,R,A order.
use_program probe
cp "$VOZER_BUILD_DIR/testrenderers/gfxmod_imageprobe$VOZER_LIB_SUFFIX" "$game/core/"
export VOZER_RENDERER=gfxmod_imageprobe.dll
printf '\211\120\116\107\015\012\032\012\000\000\000\015\111\110\104\122\000\000\000\002\000\000\000\001\010\006\000\000\000\364\042\177\212\000\000\000\016\111\104\101\124\170\332\143\370\317\300\000\102\015\000\017\172\003\176\152\201\061\341\000\000\000\000\111\105\116\104\256\102\140\202' \
    >"$game/probe.png"
run_game
expect_status 0
renderer_trace=$game/renderer.txt
echo "--- renderer trace"
cat "$renderer_trace" 2>/dev/null
for line in "loader 1" "load 1 2x1 flags 3" "pixels 0 0 255 255 255 0 0 128" "save 1" "freed 1" \
            "reload 1 2x1" "reloaded 0 0 255 255 255 0 0 128" "info 1 2x1 pixels 0" "allocated 3x2 pixels 1"; do
    grep -qx "$line" "$renderer_trace" 2>/dev/null || fail "the renderer did not see: $line"
done
