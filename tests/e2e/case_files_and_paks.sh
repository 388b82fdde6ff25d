# A game reads an entry of a pak made by vozer-pak through a relative name,
# seeks within it, writes and re-reads a save, lists files and deletes one.
# Listing takes in pak entries whose names begin with the directory, at any
# depth, and the loose files of the directory itself, never of its
# sub-directories, even when the game asks for them.
# The pak is a resource package: prog.xml names "content", so res://content/
# is a search path and res://content.pak serves it.
use_program files
write_prog_xml "" 'packages="content"'
mkdir -p "$work/content/data"
printf 'hello vozer, from the pak!\n' >"$work/content/data/hello.txt"
printf 'second\n' >"$work/content/data/other.txt"
printf 'not listed\n' >"$work/content/data/image.png"
mkdir -p "$work/content/data/deep" "$work/content/database" "$game/data/sub"
printf 'deep\n' >"$work/content/data/deep/inner.txt"
printf 'another folder\n' >"$work/content/database/x.txt"
printf 'loose\n' >"$game/data/loose.txt"
printf 'never searched\n' >"$game/data/sub/below.txt"
if [ "$VOZER_TARGET" = win32 ]; then
    cp "$VOZER_BUILD_DIR/vozer-pak.exe" "$work/"
    (cd "$work" && "$VOZER_SOURCE_DIR/tools/wine-exec" ./vozer-pak.exe create content game/content.pak) \
        >"$work/pak.txt" 2>&1 || fail "vozer-pak failed: $(cat "$work/pak.txt")"
else
    "$VOZER_BUILD_DIR/vozer-pak" create "$work/content" "$game/content.pak" >"$work/pak.txt" 2>&1 \
        || fail "vozer-pak failed: $(cat "$work/pak.txt")"
fi
run_game
expect_status 0
expect_trace "pak-open 1" -eq 1
expect_trace "handle-size 27" -eq 1
expect_trace "handle-name res://content/data/hello.txt" -eq 1
expect_trace "pak-read 27" -eq 1
expect_trace "pak-text hello vozer, from the pak!" -eq 1
expect_trace "seek0 vozer" -eq 1
expect_trace "seek1 from " -eq 1
expect_trace "seek2 pak!" -eq 1
expect_trace "tell 27" -eq 1
expect_trace "mkdir 1" -eq 1
expect_trace "write 7" -eq 1
expect_trace "reread 7" -eq 1
expect_trace "reread-text level 7" -eq 1
expect_trace "find 1" -eq 1
expect_trace "found data/hello.txt" -eq 1
expect_trace "found data/other.txt" -eq 1
expect_trace "found data/image.png" -eq 0
expect_trace "found data/deep/inner.txt" -eq 1
expect_trace "found data/loose.txt" -eq 1
expect_trace "found " -eq 4
expect_trace "find-recursing 1" -eq 1
expect_trace "found-recursing " -eq 4
expect_trace "found-recursing data/sub/below.txt" -eq 0
expect_trace "found-recursing database/x.txt" -eq 0
expect_trace "delete 1" -eq 1
expect_trace "deleted-open 0" -eq 1
