# A renderer library that is not in core/ but directly in the game's folder
# is found by the second look-up (res:// after res://core/).
use_program probe
mv "$game/core/gfxmod_null$VOZER_LIB_SUFFIX" "$game/"
run_game
expect_status 0
expect_trace "update" -eq 5
expect_trace "shutdown" -eq 1
