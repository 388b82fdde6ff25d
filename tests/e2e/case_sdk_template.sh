# The game maker's kit as shipped: in a fresh folder with only the kit and
# mingw-w64, the template configures, builds and runs, and so does a second
# game (tests/e2e/kit_game) that packs its resources and an animation and
# generates its font with the kit's CMake helpers, plays a sound through the
# kit's sound library and draws with the named blend and alignment constants:
# its frame and its mixed sound are checked. Every public header of the kit
# compiles alone as C and as C++.
# VOZER_KIT_GAME=FOLDER: the template's game folder, built from the kit
# beforehand where there is no compiler (the emulated 32-bit machine): the
# case then only plays it as below.
if [ "$VOZER_TARGET" != win32 ]; then
    echo "the kit builds Windows games; nothing to check on this build"
    return 0
fi
# check_template_game: what the template's game must do when it plays.
check_template_game() {
    expect_log "My Game starts at 800x600." -eq 1
    expect_log "Direct3D8 initialization ok." -eq 1
    expect_log "SoundImp initialized." -eq 1
    expect_no_output "Sound resource 'sfx/click' not found."
    if [ -f "$game/frame.png" ]; then
        python3 "$VOZER_SOURCE_DIR/tests/e2e/frame_check.py" not-blank "$game/frame.png" 10 \
            || fail "the template's frame is blank"
        [ -z "${VOZER_KEEP_FRAMES:-}" ] || cp "$game/frame.png" "$VOZER_KEEP_FRAMES/sdk_template.png"
    else
        fail "the template left no frame.png"
    fi
}
program_folder="My Studio/My_Game"
if [ -n "${VOZER_KIT_GAME:-}" ]; then
    rm -rf "$game"
    cp -r "$VOZER_KIT_GAME" "$game" || { fail "no game folder in $VOZER_KIT_GAME"; return 0; }
    unset VOZER_RENDERER
    VOZER_CAPTURE=frame.png VOZER_EXIT_AFTER_FRAMES=20 run_game
    expect_status 0
    check_template_game
    return 0
fi
kit_arch=$VOZER_WIN_ARCH
kit_name=win32
[ "$kit_arch" = x86_64 ] && kit_name=win64
kit=$work/kit
cp -r "$VOZER_SOURCE_DIR/dist/$kit_name/sdk" "$kit" || { fail "no kit in dist/$kit_name/sdk"; return 0; }
cc="$kit_arch-w64-mingw32-gcc-posix"
cxx="$kit_arch-w64-mingw32-g++-posix"

# The guide is this kit's: its toolchain file and compiler package, never the
# other architecture's.
other_arch=i686 package_arch=x86-64
[ "$kit_arch" = i686 ] && other_arch=x86_64 package_arch=i686
grep -q "toolchain-mingw-$kit_arch.cmake" "$kit/GUIDE.md" || fail "the guide does not name toolchain-mingw-$kit_arch.cmake"
grep -q "g++-mingw-w64-$package_arch-posix" "$kit/GUIDE.md" || fail "the guide does not name g++-mingw-w64-$package_arch-posix"
! grep -n "$other_arch\|@VOZER_" "$kit/GUIDE.md" || fail "the guide names another architecture or keeps a placeholder"

for header in "$kit"/include/*.h; do
    name=$(basename "$header")
    printf '#include "%s"\n' "$name" | "$cc" -x c -std=c99 -Wall -Wextra -Werror -fsyntax-only -I"$kit/include" - \
        || fail "$name does not compile alone as C"
    printf '#include "%s"\n' "$name" | "$cxx" -x c++ -Wall -Wextra -Werror -fsyntax-only -I"$kit/include" - \
        || fail "$name does not compile alone as C++"
done

# build_and_run FOLDER: configure and build a game folder made from the
# template, then play it for a few frames from its assembled game folder.
build_and_run() {
    local source=$work/$1
    cmake -S "$source" -B "$source/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$kit/cmake/toolchain-mingw-$kit_arch.cmake" \
        -DVozer_DIR="$kit/cmake" "${cmake_extra[@]}" >"$work/$1-configure.txt" 2>&1 \
        || { cat "$work/$1-configure.txt"; fail "$1 does not configure"; return; }
    cmake --build "$source/build" >"$work/$1-build.txt" 2>&1 \
        || { cat "$work/$1-build.txt"; fail "$1 does not build"; return; }
    [ -f "$source/build/game/prog.dll" ] && [ -f "$source/build/game/vozer_runtime.exe" ] \
        || { fail "$1's game folder lacks prog.dll or the runtime"; return; }
    game=$source/build/game
    run_game
    expect_status 0
}

cmake_extra=()

# The template plays with the renderer and the sound library its boot
# configuration names, and what it draws reaches the screen.
cp -r "$kit/template" "$work/mygame"
unset VOZER_RENDERER
VOZER_CAPTURE=frame.png VOZER_EXIT_AFTER_FRAMES=20 build_and_run mygame
export VOZER_RENDERER=gfxmod_null.dll
check_template_game

# The second game, outside the source tree like the kit: its content is
# made here (a 32x32 four-colour sprite, a 440 Hz beep and two animation
# frames) and packed at build time; its font comes from DejaVu Sans Bold.
cp -r "$VOZER_SOURCE_DIR/tests/e2e/kit_game" "$work/kitgame"
mkdir -p "$work/kitgame/content"
python3 "$VOZER_SOURCE_DIR/tests/e2e/frame_check.py" write-quad "$work/kitgame/content/quad.png"
mkdir -p "$work/kitgame/frames"
python3 "$VOZER_SOURCE_DIR/tests/e2e/frame_check.py" write-walk "$work/kitgame/frames"
sox -n -r 22050 -c 1 -b 16 "$work/kitgame/content/beep.wav" synth 0.25 sine 440 vol 0.5 \
    || fail "sox could not make the beep"
program_folder="Kit Tests/Kit_Game"
cmake_extra=(-DFONT_FOLDER="$VOZER_DEJAVU_DIR")
unset VOZER_RENDERER
VOZER_CAPTURE=frame.png VOZER_SOUND_CAPTURE=mix.wav VOZER_EXIT_AFTER_FRAMES=30 build_and_run kitgame
export VOZER_RENDERER=gfxmod_null.dll
for made in content.pak fonts/title.mft walk.bms core/sndmod_wave.dll; do
    [ -f "$game/$made" ] || fail "the kit game's folder lacks $made"
done
[ ! -e "$game/content" ] || fail "the packed folder was copied loose into the game folder"
expect_trace "quad-width 32" -eq 1
expect_trace "walk-frames 2" -eq 1
expect_trace "font 1" -eq 1
# A missing bitmap is a record that drew nothing, as the header says.
expect_trace "missing-null 0" -eq 1
expect_trace "missing-state 3" -eq 1
expect_trace "missing-width 0" -eq 1
expect_trace "played 1" -eq 1
expect_trace "playing 1" -eq 1
expect_log "SoundImp initialized." -eq 1
expect_log "sndmod_wave: capturing the mix to 'mix.wav'" -eq 1
expect_log "refused" -eq 0
if [ -f "$game/frame.png" ]; then
    python3 "$VOZER_SOURCE_DIR/tests/e2e/frame_check.py" kit-game "$game/frame.png" \
        || fail "the kit game's frame is not what it drew"
    [ -z "${VOZER_KEEP_FRAMES:-}" ] || cp "$game/frame.png" "$VOZER_KEEP_FRAMES/sdk_kit_game.png"
else
    fail "the kit game left no frame.png"
fi
# The beep, panned hard left at full volume: a 440 Hz tone on the left
# channel only.
python3 - "$game/mix.wav" <<'PY' || fail "the kit game's mix is not its beep"
import struct, sys, wave
with wave.open(sys.argv[1]) as mix:
    assert mix.getnchannels() == 2 and mix.getsampwidth() == 2, "not 16-bit stereo"
    rate = mix.getframerate()
    frames = mix.readframes(mix.getnframes())
samples = struct.unpack(f"<{len(frames) // 2}h", frames)
left, right = samples[0::2], samples[1::2]
loud = [i for i, value in enumerate(left) if abs(value) > 4000]
print(f"left peak {max(map(abs, left))}, right peak {max(map(abs, right))}, {len(loud)} loud frames at {rate} Hz")
assert max(map(abs, right)) < 100, "the right channel is not silent"
assert loud, "the left channel is silent"
tone = left[loud[0]:loud[-1]]
crossings = sum(1 for a, b in zip(tone, tone[1:]) if a < 0 <= b)
seconds = len(tone) / rate
assert 0.2 < seconds < 0.3, f"the beep lasts {seconds:.3f} s"
assert abs(crossings / seconds - 440) < 15, f"the beep is {crossings / seconds:.0f} Hz"
PY

# Resources reach the game folder on every build, not only when prog.dll
# relinks; a changed file below the packed folder makes the pak again.
sed -i 's/name="Kit Game"/name="Kit Game Edited"/' "$work/kitgame/res/prog.xml"
pak_before=$(cksum <"$game/content.pak")
sox -n -r 22050 -c 1 -b 16 "$work/kitgame/content/beep.wav" synth 0.1 sine 880 vol 0.5
cmake --build "$work/kitgame/build" >"$work/kitgame-rebuild.txt" 2>&1 \
    || { cat "$work/kitgame-rebuild.txt"; fail "the kit game does not build again"; }
grep -q 'name="Kit Game Edited"' "$game/prog.xml" || fail "the edited prog.xml did not reach the game folder"
[ "$(cksum <"$game/content.pak")" != "$pak_before" ] || fail "the pak was not made again after its sound changed"
