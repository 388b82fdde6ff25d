# An input library written as a C++ class of virtual member functions is
# bound from the game's core folder, started after the renderer with the
# runtime record, framed every frame and shut down, all through its virtual
# table. The Program exports both entry points and is bound through the newer.
use_program input
cp "$VOZER_BUILD_DIR/testinputs/inpmod_vtable$VOZER_LIB_SUFFIX" "$game/core/"
write_prog_xml 'console="1" logging="1"' '' 'input_implementations="inpmod_vtable"'
run_game
expect_status 0
expect_trace "init" -eq 1
expect_trace "older entry used" -eq 0
expect_log "InputImp Library Loaded ok." -eq 1
input_trace=$game/input.txt
cat "$input_trace" 2>/dev/null
for line in "supported 1" "init program=1"; do
    grep -qx "$line" "$input_trace" 2>/dev/null || fail "the input library was not called: $line"
done
frames=$(sed -n 's/^shutdown after \([0-9]*\) frames$/\1/p' "$input_trace" 2>/dev/null)
[ "${frames:-0}" -ge 5 ] || fail "the input library saw ${frames:-no} frames, expected at least 5"
for line in "reserved called" "begin twice" "end without begin"; do
    ! grep -qx "$line" "$input_trace" 2>/dev/null || fail "the input library reports: $line"
done
