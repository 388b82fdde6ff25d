# A Program of another interface version ends the process after the message,
# its own number first.
use_program "$(default_program)"
export VOZER_TEST_VERSION=1221
run_game
expect_status 0
expect_output "Program library uses incompatible VOZER interface (1221 instead of 1222). This program cannot run."
expect_trace "init" -eq 0
