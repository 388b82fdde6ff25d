# A worker that never ends holds up the shutdown for about three seconds,
# then the run ends anyway with the time-out warning.
use_program workers
write_prog_xml 'logging="1" console="1"'
export VOZER_TEST_WORKER_MS=-1
# The runtime leaves the Program library and its own locks to the worker that
# is still running, so they are not freed before the process ends: not a leak.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
began=$SECONDS
run_game
took=$((SECONDS - began))
show_log
expect_status 0
expect_log "Time out: 1 threads left running!" -eq 1
[ "$took" -ge 3 ] || fail "the run took $took s, expected the 3 s wait"
[ "$took" -le 20 ] || fail "the run took $took s"
