# The sound library that ships with the engine, as a game uses it: two tones
# written by the game itself, panned hard left and right at two volumes, and
# Ogg Vorbis music looped and then faded out. There is no sound device here,
# so the library says so once and plays into nothing; the capture switch
# writes the mix to a file, which is checked for frequencies, channels,
# volumes, timing, a seamless loop and the fade's length.
use_program tones
cp "$VOZER_BUILD_DIR/core/sndmod_wave$VOZER_LIB_SUFFIX" "$game/core/"
mkdir -p "$game/music"
sox -n -r 44100 -c 1 "$game/music/loop.ogg" synth 1 sine 441 vol 0.5 || fail "sox could not make the music"
write_prog_xml 'logging="1" console="1"' '' 'sound_implementation="sndmod_wave"'
export VOZER_SOUND_CAPTURE=capture.wav
run_game
show_log
expect_status 0
expect_trace "left 1" -eq 1
expect_trace "right 1" -eq 1
expect_log "SoundImp initialized." -eq 1
expect_log "playing into nothing." -eq 1
expect_log "sndmod_wave: capturing the mix to 'capture.wav' from" -eq 1
expect_log "refused" -eq 0
log=$(run_logs | tail -n 1)
capture_start=$(sed -nE "s/.*capturing the mix to 'capture.wav' from ([0-9]+) ms\..*/\1/p" "$log" | head -n 1)
[ -n "$capture_start" ] || fail "no capture start in the log"
[ -s "$game/capture.wav" ] || fail "no capture file"
if [ -n "$capture_start" ] && [ -s "$game/capture.wav" ]; then
    python3 "$VOZER_SOURCE_DIR/tests/e2e/capture_check.py" "$game/capture.wav" "$game/trace.txt" "$capture_start" \
        || fail "the captured mix is not what the game asked for"
fi
