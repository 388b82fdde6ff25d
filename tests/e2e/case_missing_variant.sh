# A game whose prog.xml has no variant for this platform and no DEVELOPER
# node ends with -1, and the player is told why although developer mode is off.
use_program probe
cat >"$game/prog.xml" <<XML
<?xml version="1.0" encoding="utf-8"?>
<vudozar>
  <array id="PARAMETERS">
    <node id="APPLICATION" fps_limit="120" />
  </array>
  <array id="VARIANTS">
    <node id="ANDROID" renderer_implementation="gfxmod_null" />
  </array>
</vudozar>
XML
run_game
expect_status 255
expect_output "No build variant found for current platform id 'WINDOWS'."
expect_trace "init" -eq 0
