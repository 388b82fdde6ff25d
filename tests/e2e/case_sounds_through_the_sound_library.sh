# A game plays sounds and music through the sound library its prog.xml names
# (the recording test library in core/): what reached the library, in order,
# is what the Program asked for, with the refusals games rely on (the second play
# within 50 ms, the missing file) and the music's fade-in and slide reaching
# their volumes in the time asked. Without the library, the null
# implementation takes over ("No Sound Implementation available.") and the game runs on.
use_program sounds
cp "$VOZER_BUILD_DIR/testsounds/sndmod_record$VOZER_LIB_SUFFIX" "$game/core/"
mkdir -p "$game/sfx" "$game/music"
printf 'boom' >"$game/sfx/boom.wav"
printf 'click' >"$game/sfx/click.ogg"
printf 'theme' >"$game/music/theme.ogg"
write_prog_xml 'logging="1" console="1"' '' 'sound_implementation="sndmod_record"'
export VOZER_TEST_SOUND_TRACE=sound_calls.txt
run_game
expect_status 0
for line in "loaded 1" "play1 1" "play2 0" "play3 1" "click 1" "music-now theme" "quit 1"; do
    expect_trace "$line" -eq 1
done
echo "--- sound library calls (frames left out)"
grep -v '^Frame' "$game/sound_calls.txt" | tee "$work/calls.txt"
echo "---"
[ "$(grep -c '^FrameBegin' "$game/sound_calls.txt")" -gt 100 ] || fail "too few FrameBegin calls"
[ "$(grep -c '^FrameBegin' "$game/sound_calls.txt")" = "$(grep -c '^FrameEnd' "$game/sound_calls.txt")" ] \
    || fail "FrameBegin and FrameEnd do not pair up"

# The times the fade-in and the slide took, cut out of their lines.
sed -E 's/^(music-volume [0-9.]+ reached after) [0-9]+ ms$/\1 N ms/' "$work/calls.txt" >"$work/shape.txt"
cat >"$work/expected.txt" <<'CALLS'
GetInterface -> 1
Init sounds-disabled=0 -> 1
LoadSound sfx/boom sfx/boom.wav -> 1
LoadSound sfx/click sfx/click.wav -> 0
LoadSound sfx/click sfx/click.ogg -> 1
LoadSound missing missing.wav -> 0
LoadSound missing missing.ogg -> 0
LoadSound missing missing.mp3 -> 0
LoadSound music/theme music/theme.wav -> 0
LoadSound music/theme music/theme.ogg -> 1
PlaySound sfx/boom 0.800 -0.500 1.000 -> #1
ChannelOpB #1 0.250
GetCurrentMusic -> (null)
PlayMusic music/theme 0.600 0.500
PlaySound sfx/boom 0.400 0.500 1.000 -> #2
PlaySound sfx/click 1.000 0.000 1.000 -> #3
music-volume 0.600 reached after N ms
GetCurrentMusic -> music/theme
GetCurrentMusic -> music/theme
SlideMusicVolume 0.300 1.000
music-volume 0.300 reached after N ms
SlideSoundVolume #2 -0.100 0.500
StopMusic 0.250
FreeSound sfx/boom
FreeSound missing (not loaded)
CALLS
# What shutdown releases before the library's Shutdown is the leak report's
# business; the calls above come first and Shutdown comes last.
head -n "$(wc -l <"$work/expected.txt")" "$work/shape.txt" | diff "$work/expected.txt" - \
    || fail "the sound library received other calls than expected (diff above)"
[ "$(tail -n 1 "$work/calls.txt")" = "Shutdown" ] || fail "the library's last call is not Shutdown"
fade=$(sed -nE 's/^music-volume 0.600 reached after ([0-9]+) ms$/\1/p' "$work/calls.txt")
slide=$(sed -nE 's/^music-volume 0.300 reached after ([0-9]+) ms$/\1/p' "$work/calls.txt")
[ -n "$fade" ] && [ "$fade" -ge 500 ] && [ "$fade" -le 650 ] || fail "fade-in took '$fade' ms, asked 500"
[ -n "$slide" ] && [ "$slide" -ge 1000 ] && [ "$slide" -le 1150 ] || fail "slide took '$slide' ms, asked 1000"

# The same game without the library: silence, and the game runs on.
rm "$game/core/sndmod_record$VOZER_LIB_SUFFIX" "$game/sound_calls.txt" "$game/trace.txt"
run_game
expect_status 0
expect_log "[FATAL] SoundImp Library not found or bad" -eq 1
expect_log "No Sound Implementation available." -eq 1
for line in "loaded 1" "play1 0" "play2 0" "play3 0" "click 0" "music-now none" "quit 1"; do
    expect_trace "$line" -eq 1
done
[ ! -e "$game/sound_calls.txt" ] || fail "a sound library was called"
