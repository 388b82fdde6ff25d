# A game uses the extension functions as a player's machine answers them: the
# clipboard text it sets is read back by the game and, on Windows, by another
# program while the game runs; the platform facts are there; a program path
# given as a URL is refused; no language is named unless the command line
# names one; and a file picked in the open dialog (driven by
# xdotool) inside the game folder comes back as a res:// path, while a
# cancelled save dialog gives null.
use_program ext
if [ "$VOZER_TARGET" != win32 ]; then
    # The development host has no clipboard or dialogs: the empty answers.
    run_game ext_dialog=1
    expect_status 0
    expect_trace "clipboard $" -eq 1
    expect_trace "platform LINUX" -eq 1
    expect_trace "language (null)" -eq 1
    expect_trace "open-url-refused null" -eq 1
    expect_trace "dialog (null)" -eq 1
    expect_trace "save-dialog (null)" -eq 1
    return 0
fi

# Another program reads the clipboard once the game has set it.
(
    for _ in $(seq 150); do grep -q "^ready 1" "$game/trace.txt" 2>/dev/null && break; sleep 0.1; done
    "$VOZER_SOURCE_DIR/tools/wine-exec" "$VOZER_BUILD_DIR/testtools/vozer_test_clipboard.exe"
) >"$work/clipboard.txt" 2>&1 &
reader=$!
run_game ext_hold=4000
wait "$reader"
expect_status 0
expect_trace "clipboard Vozer clipboard check 4711" -eq 1
tr -d '\r' <"$work/clipboard.txt" | grep -qx "Vozer clipboard check 4711" \
    || fail "the other program read: $(cat "$work/clipboard.txt")"
expect_trace "platform WINDOWS" -eq 1
expect_trace "os-major Windows" -eq 1
expect_trace "os-minor [0-9]*\.[0-9]*\.[0-9]" -eq 1
expect_trace "language (null)" -eq 1   # the system's language is the game's own business
expect_trace "unique-id ." -eq 1
expect_trace "open-url-refused null" -eq 1

# The open dialog: xdotool types the Windows path of a file in the game folder.
if [ -z "${DISPLAY:-}" ]; then
    echo "dialog part skipped: xdotool needs the test run's DISPLAY"
    return 0
fi
printf 'picked\n' >"$game/pick.txt"
pick="Z:${game//\//\\}\\pick.txt"
(
    window=""
    for _ in $(seq 150); do
        window=$(xdotool search --name '^Open$' 2>/dev/null | head -n 1)
        [ -n "$window" ] && break
        sleep 0.2
    done
    [ -n "$window" ] || { echo "no Open dialog appeared"; exit 1; }
    sleep 1
    xdotool windowfocus --sync "$window"
    xdotool type --delay 20 "$pick"
    xdotool key Return
    # Then the save dialog, cancelled.
    window=""
    for _ in $(seq 150); do
        window=$(xdotool search --name '^Save As$' 2>/dev/null | head -n 1)
        [ -n "$window" ] && break
        sleep 0.2
    done
    [ -n "$window" ] || { echo "no Save As dialog appeared"; exit 1; }
    sleep 1
    xdotool windowfocus --sync "$window"
    xdotool key Escape
) >"$work/xdotool.txt" 2>&1 &
typist=$!
run_game ext_dialog=1
wait "$typist" || fail "xdotool: $(cat "$work/xdotool.txt")"
expect_status 0
expect_trace "dialog res://pick.txt" -eq 1
expect_trace "save-dialog (null)" -eq 1
