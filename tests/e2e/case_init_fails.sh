# A Program whose Init returns false still gets frames, but no Shutdown;
# developers are told (popups are a developer-mode aid).
use_program probe
write_prog_xml 'developer_mode="1"'
export VOZER_TEST_INIT_FAILS=1 VOZER_TEST_QUIT_AFTER=0 VOZER_EXIT_AFTER_FRAMES=3
run_game
expect_status 0
expect_output "Program initialization failed."
expect_trace "render" -ge 3
expect_trace "shutdown" -eq 0
