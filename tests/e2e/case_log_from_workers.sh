# Lines from the main thread and from two named workers all reach the log
# file with their level and thread name, under the banner; the summary counts
# them; the popup raised three times on a worker is shown once, by the frame.
# A level below 0 is below every minimum (dropped); one above 7 is logged as
# an error and its popup gets the plain caption. A thread asked for with
# reserved flags is refused as (VozerThread)-1. The window's first activation
# reaches the Program as event 10 before its first frame.
use_program workers
write_prog_xml 'developer_mode="1" logging="1" console="1"'
run_game
show_log
expect_status 0
expect_log "Workers Test" -ge 1
expect_log "main line" -eq 1
expect_log "main warning" -eq 1
for worker in worker-a worker-b; do
    for i in 0 1 2; do expect_log "[$worker]> $worker line $i" -eq 1; done
done
expect_log "[POPUP] popup from a worker" -eq 6
expect_log "Time out" -eq 0
expect_log "VOZER log: " -eq 1
expect_log "files left open" -eq 1
count=$(grep -cF "popup from a worker" "$work/output.txt")
[ "$count" -eq 1 ] || fail "the worker's popup was shown $count times, expected once"
expect_log "a line at level -1" -eq 0
expect_log "a line at level 9" -eq 1
expect_log "refused thread: -1" -eq 1
expect_log "event 10 before the first frame, word 0" -ge 1
expect_output "[Workers Test] popup at level 9"
expect_no_output "popup at level -3"
