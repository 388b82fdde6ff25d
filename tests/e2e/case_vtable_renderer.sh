# A renderer written as a C++ class with 44 virtual member functions, as
# another compiler's user would write one, is driven through its virtual
# table: bound, offered the engine API, started, framed and shut down.
use_program probe
cp "$VOZER_BUILD_DIR/testrenderers/gfxmod_vtable$VOZER_LIB_SUFFIX" "$game/core/"
export VOZER_RENDERER=gfxmod_vtable.dll
run_game
expect_status 0
expect_trace "update" -eq 5
renderer_trace=$game/renderer.txt
for line in "engine api 1" "init 640x480" "begin 0" "end" "shutdown"; do
    grep -qx "$line" "$renderer_trace" 2>/dev/null || fail "the renderer was not called: $line"
done
count=$(grep -cx "begin 0" "$renderer_trace")
[ "$count" -ge 5 ] || fail "$count frames reached the renderer, expected at least 5"
