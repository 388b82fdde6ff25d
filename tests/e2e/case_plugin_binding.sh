# Binding the plug-in libraries through the real loader.
# An input library written as a C++ class of virtual member functions is
# bound from the game's core folder, started after the renderer with the
# runtime record, framed every frame and shut down, all through its virtual
# table. The Program exports both entry points and is bound through the newer.
use_program input
cp "$VOZER_BUILD_DIR/testinputs/inpmod_vtable$VOZER_LIB_SUFFIX" "$game/core/"
cp "$VOZER_BUILD_DIR/testrenderers/gfxmod_vtable$VOZER_LIB_SUFFIX" "$game/core/"
input_trace=$game/input.txt
write_prog_xml 'console="1" logging="1"' '' 'input_implementations="inpmod_vtable"'
run_game
expect_status 0
expect_trace "older entry used" -eq 0
expect_log "InputImp Library Loaded ok." -eq 1
for line in "supported 1" "init program=1"; do
    grep -qx "$line" "$input_trace" 2>/dev/null || fail "the input library was not called: $line"
done
frames=$(sed -n 's/^shutdown after \([0-9]*\) frames$/\1/p' "$input_trace" 2>/dev/null)
[ "${frames:-0}" -ge 5 ] || fail "the input library saw ${frames:-no} frames, expected at least 5"
grep -qxE "reserved called|begin twice|end without begin" "$input_trace" && fail "the input library was misused"

# Libraries that exist but cannot serve are logged with their fixed texts and
# leave nothing bound: the game goes on without an input library, and without
# a renderer it ends as a failed start (exit code 1).
export VOZER_TEST_INPUT=unsupported
run_game
expect_status 0
expect_log "InputImp is not supported on this system." -eq 1
grep -q "^init" "$input_trace" 2>/dev/null && fail "an unsupported input library was started"

export VOZER_TEST_INPUT=null
run_game
expect_status 0
expect_log "[FATAL] InputImp Library, GetInterface failed." -eq 1
expect_log "InputImp Library Loaded ok." -eq 0
unset VOZER_TEST_INPUT

# A library without the input export: a renderer library named as input.
write_prog_xml 'console="1" logging="1"' '' 'input_implementations="gfxmod_vtable"'
run_game
expect_status 0
expect_log "[FATAL] InputImp Library, no VOZER_InputImp_GetInterface function exported." -eq 1

write_prog_xml 'console="1" logging="1"' '' 'input_implementations="inpmod_missing"'
run_game
expect_status 0
expect_log "[FATAL] InputImp Library not found or bad (error code" -eq 1
expect_trace "shutdown" -eq 1

# Renderers: the export gives no object; the input library named as renderer.
write_prog_xml 'console="1" logging="1"'
export VOZER_RENDERER=gfxmod_vtable.dll VOZER_TEST_RENDERER=null
run_game
expect_status 1
expect_log "[FATAL] RendImp Library, GetInterface failed." -ge 1
expect_output "Core initialization failed."
unset VOZER_TEST_RENDERER

export VOZER_RENDERER=inpmod_vtable.dll
run_game
expect_status 1
expect_log "[FATAL] RendImp Library, no VOZER_RendImp_GetInterface function exported." -ge 1

# A Direct3D 9 renderer where DirectX 8.1 is installed is refused before its
# library is looked for. Only the headless host can be told which DirectX it has.
if [ "$VOZER_TARGET" != win32 ]; then
    export VOZER_RENDERER=gfxmod_d3d9.dll VOZER_DIRECTX_VERSION=8.1
    run_game
    expect_status 1
    expect_log "DirectX 8.1 installed (80100)" -ge 1
    expect_log "DirectX version not supported." -ge 1
    expect_log "RendImp Library not found" -eq 0

    # A slow provider does not hold up the first frames: the Direct3D renderer
    # is bound while it is asked, and an answer too old for it ends the run as
    # a refused binding does, once it comes.
    cp "$game/core/gfxmod_null$VOZER_LIB_SUFFIX" "$game/core/gfxmod_d3d8$VOZER_LIB_SUFFIX"
    write_prog_xml 'console="1" logging="1"' '' 'input_implementations="inpmod_vtable"'
    export VOZER_RENDERER=gfxmod_d3d8.dll VOZER_DIRECTX_VERSION=7.0 VOZER_DIRECTX_DELAY_MS=1000
    rm -f "$input_trace"
    run_game
    expect_status 1
    expect_log "DirectX 7.0 installed (70000)" -eq 1
    expect_log "DirectX version not supported." -eq 1
    frames=$(sed -n 's/^shutdown after \([0-9]*\) frames$/\1/p' "$input_trace" 2>/dev/null)
    [ "${frames:-0}" -ge 1 ] || fail "no frame was drawn while DirectX was asked"
    export VOZER_DIRECTX_VERSION=8.0
    run_game
    expect_status 0
    expect_log "DirectX 8.0 installed (80000)" -eq 1
    expect_log "DirectX version not supported." -eq 0
    unset VOZER_DIRECTX_DELAY_MS
fi
