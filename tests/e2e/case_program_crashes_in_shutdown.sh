# A game whose Shutdown crashes: the runtime says so, still reports and
# releases what the game kept, shuts the plug-ins down and ends its log, and
# the exit code tells of the crash.
use_program leaks
cp "$VOZER_BUILD_DIR/fonts/core/console.mft" "$game/core/"
write_prog_xml 'logging="1" console="1"'
run_game "leak=2"
show_log
expect_status 3
expect_trace "shutdown 1" -eq 1
expect_trace "survived" -eq 0
expect_log "Program crashed in its Shutdown: access violation at " -eq 1
expect_log "releasing its resources without it." -eq 1
expect_log "Bitmap 'leak/sprite' Reference count 3 at exit, releasing..." -eq 1
expect_log "Font 'core/console' Reference count 1 at exit, releasing..." -eq 1
expect_log "Vozer RendImp Shutdown." -eq 1
expect_log "VOZER log: " -eq 1
