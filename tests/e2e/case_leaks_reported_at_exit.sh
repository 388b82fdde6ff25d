# A game that keeps bitmaps (one counted three times), a sound and a font at
# exit: the log names each with its count, in the designed order, and each is
# released (the sound library is asked to free the sound). The usage report
# the game asks for lists them. The same game giving everything back in its
# Shutdown leaves nothing to report. Under the sanitizers of the native build
# the runtime itself must not leak either: such a run ends with an error.
use_program leaks
cp "$VOZER_BUILD_DIR/testsounds/sndmod_record$VOZER_LIB_SUFFIX" "$game/core/"
cp "$VOZER_BUILD_DIR/fonts/core/console.mft" "$game/core/"
mkdir -p "$game/sfx"
printf 'blip' >"$game/sfx/blip.wav"
write_prog_xml 'logging="1" console="1"' '' 'sound_implementation="sndmod_record"'
export VOZER_TEST_SOUND_TRACE=sound_calls.txt

run_game "leak=1"
show_log
expect_status 0
expect_trace "have-all 1" -eq 1
expect_trace "sprite-count 3" -eq 1
expect_trace "shutdown 1" -eq 1
expect_log "Listing Resource Usage." -eq 1
expect_log "32x32 'leak/sprite' refc=3 sysmem=4.0KB gpumem=" -eq 1
expect_log "Sound #000 'sfx/blip' sysmem=" -eq 1
expect_log "Font #000 'core/console' " -eq 1
expect_log "Memory Hogs" -eq 1
expect_log " GFX 8KB 32x32 leak/sprite" -eq 1
expect_log "Bitmap 'leak/sprite' Reference count 3 at exit, releasing..." -eq 1
expect_log "Bitmap 'leak/tile' Reference count 1 at exit, releasing..." -eq 1
expect_log "Sound 'sfx/blip' Reference count 1 at exit, releasing..." -eq 1
expect_log "Font 'core/console' Reference count 1 at exit, releasing..." -eq 1
expect_log "at exit, releasing" -eq 4
expect_log "VOZER log: " -eq 1
log=$(run_logs | tail -n 1)
order=$(grep -oE "VOZER Shutdown\.|Bitmap 'leak/sprite' Reference|Releasing sounds\.|Sound 'sfx/blip' Reference|Releasing fonts\.|Font 'core/console' Reference|Releasing Sound Implementation\.|Vozer RendImp Shutdown\.|VOZER log: " "$log" | tr '\n' '|')
[ "$order" = "VOZER Shutdown.|Bitmap 'leak/sprite' Reference|Releasing sounds.|Sound 'sfx/blip' Reference|Releasing fonts.|Font 'core/console' Reference|Releasing Sound Implementation.|Vozer RendImp Shutdown.|VOZER log: |" ] \
    || fail "shutdown steps out of order: $order"
grep -q "^FreeSound sfx/blip$" "$game/sound_calls.txt" || fail "the leaked sound was not freed by the sound library"
tail -n 1 "$game/sound_calls.txt" | grep -q "^Shutdown" || fail "the sound library was not shut down last"

rm -f "$game/trace.txt" "$game/sound_calls.txt"
run_game "leak=0"
expect_status 0
expect_trace "shutdown 1" -eq 1
expect_log "Listing Resource Usage." -eq 1
expect_log "at exit, releasing" -eq 0
expect_log "VOZER log: " -eq 1
