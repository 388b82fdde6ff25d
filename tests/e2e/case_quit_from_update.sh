# Init once, Update and Render every frame; Quit from the fifth Update ends the
# run with exit code 0 after Shutdown.
use_program "$(default_program)"
run_game
expect_status 0
expect_trace "init period=8" -eq 1
expect_trace "update" -eq 5
expect_trace "render" -ge 5
expect_trace "shutdown" -eq 1
