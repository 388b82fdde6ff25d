# The game maker's kit as shipped: in a fresh folder with only the kit and
# mingw-w64, the template configures, builds and runs; so does a second game
# made from a renamed copy. Every public header of the kit compiles alone as
# C and as C++.
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
        -DVozer_DIR="$kit/cmake" >"$work/$1-configure.txt" 2>&1 \
        || { cat "$work/$1-configure.txt"; fail "$1 does not configure"; return; }
    cmake --build "$source/build" >"$work/$1-build.txt" 2>&1 \
        || { cat "$work/$1-build.txt"; fail "$1 does not build"; return; }
    [ -f "$source/build/game/prog.dll" ] && [ -f "$source/build/game/vozer_runtime.exe" ] \
        || { fail "$1's game folder lacks prog.dll or the runtime"; return; }
    game=$source/build/game
    run_game
    expect_status 0
}

# The template plays with the renderer its boot configuration names, and
# what it draws reaches the screen.
cp -r "$kit/template" "$work/mygame"
unset VOZER_RENDERER
VOZER_CAPTURE=frame.png VOZER_EXIT_AFTER_FRAMES=20 build_and_run mygame
export VOZER_RENDERER=gfxmod_null.dll
check_template_game

cp -r "$kit/template" "$work/othergame"
sed -i 's/program_id="MyGame" name="My Game"/program_id="OtherGame" name="Other Game"/' "$work/othergame/res/prog.xml"
sed -i 's/project(MyGame C)/project(OtherGame C)/' "$work/othergame/CMakeLists.txt"
program_folder="My Studio/Other_Game"
VOZER_EXIT_AFTER_FRAMES=20 build_and_run othergame
expect_log "Other Game starts at 800x600." -eq 1
