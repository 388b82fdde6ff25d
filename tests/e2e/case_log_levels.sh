# The verbose level filters the log by level: at WARNING the Program's
# warnings and errors are written, its INFO lines and those of its workers not.
# A screenshot asked of the headless renderer is a warning too: it draws
# nothing, so nothing is captured, and the log says so.
use_program workers
write_prog_xml 'developer_mode="1" logging="1" console="1" logging_verbose_level="WARNING"'
VOZER_CAPTURE=frame.png run_game
expect_status 0
expect_log "Logging Verbose Level set to 1." -eq 1
expect_log "main warning" -eq 1
expect_log "main error" -eq 1
expect_log "main line" -eq 0
expect_log "worker-a line 0" -eq 0
expect_log "[worker-b]> [POPUP] popup from a worker" -eq 3   # popups are warnings here
expect_log "VOZER_CAPTURE='frame.png' is ignored: the headless renderer draws nothing, so no frame is captured." -eq 1
[ ! -e "$game/frame.png" ] || fail "the headless renderer wrote a frame"
