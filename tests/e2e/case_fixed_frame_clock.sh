# VOZER_FIXED_FRAME_MS=N: every frame hands the Program exactly N ms and moves
# its clock (GetTime) on by N, from 0 at Init, whatever the wall time did, so
# that a capture after K frames is the same picture on any machine. A value
# that is no whole number of milliseconds from 1 to 200 is named in the log
# and the frames follow the wall clock.
use_program probe
program_folder="Vozer Tests/Probe_Test"
write_prog_xml 'logging="1" console="1"'
VOZER_FIXED_FRAME_MS=25 run_game
expect_status 0
expect_trace "init period=8 at 0" -eq 1
for frame in 1 2 3 4 5; do
    expect_trace "update 0.025 at $((frame * 25))[[:space:]]*$" -eq 1
done
expect_log "Every frame advances the clock by 25 ms (VOZER_FIXED_FRAME_MS)." -eq 1

for bad in 0 201 25ms -5; do
    VOZER_FIXED_FRAME_MS=$bad run_game
    expect_status 0
    expect_trace "update" -eq 5
    expect_log "VOZER_FIXED_FRAME_MS='$bad' is not a whole number of milliseconds from 1 to 200: frames follow the wall clock." -eq 1
done
