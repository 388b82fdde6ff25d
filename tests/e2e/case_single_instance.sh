# A second start of a single-instance game whose first instance has its
# window up brings that window forward and ends at once with exit code 0.
# (The development host's windows are not real, so there the second runs.)
use_program probe
export VOZER_TEST_SINGLE=1 VOZER_TEST_QUIT_AFTER=0
second=$work/second
cp -r "$game" "$second"

# The first instance runs for a while; wait until it draws frames.
(
    export VOZER_EXIT_AFTER_FRAMES=600
    cd "$game"
    if [ "$VOZER_TARGET" = win32 ]; then
        "$VOZER_SOURCE_DIR/tools/wine-exec" ./vozer_runtime.exe
    else
        ./vozer_runtime
    fi
) >"$work/first.txt" 2>&1 &
first_pid=$!
for _ in $(seq 200); do
    grep -q "^render" "$game/trace.txt" 2>/dev/null && break
    sleep 0.05
done
grep -q "^render" "$game/trace.txt" 2>/dev/null || fail "the first instance did not start"

game=$second
export VOZER_EXIT_AFTER_FRAMES=3
run_game
expect_status 0
if [ "$VOZER_TARGET" = win32 ]; then
    expect_trace "init" -eq 0
else
    expect_trace "init" -eq 1
fi
kill -0 "$first_pid" 2>/dev/null || fail "the first instance ended early"
wait "$first_pid" || fail "the first instance failed: $(cat "$work/first.txt")"
