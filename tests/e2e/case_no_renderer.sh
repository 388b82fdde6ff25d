# Without a renderer library full initialisation fails: exit code 1.
use_program probe
export VOZER_RENDERER=gfxmod_missing.dll
run_game
expect_status 1
expect_output "Core initialization failed."
expect_trace "init" -eq 0
