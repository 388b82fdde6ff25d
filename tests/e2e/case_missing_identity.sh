# Every missing identity field is reported, in the designed order, and the run
# goes on. The warnings are popups, a developer aid: this Program asks for
# developer mode in its own record, as they come before prog.xml is applied.
use_program probe
export VOZER_TEST_NO_IDENTITY=1 VOZER_TEST_DEVELOPER=1 VOZER_EXIT_AFTER_FRAMES=2 VOZER_TEST_QUIT_AFTER=0
run_game
expect_status 0
expect_in_order "identity warnings" \
    "Program doesn't have parm title set" \
    "Program doesn't have parm id set" \
    "Program doesn't have parm version" \
    "Program doesn't have parm developer"
expect_trace "render" -ge 2
