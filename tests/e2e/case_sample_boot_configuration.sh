# The sample game's prog.xml and a developer.xml beside it drive the run: the
# identity, the frame rate, the variant and the packages show in the log.
use_sample
cat >"$game/developer.xml" <<'XML'
<?xml version="1.0" encoding="utf-8"?>
<vudozar>
  <array id="PARAMETERS">
    <node id="DEVELOPER" logging="1" console="1" logging_verbose_level="SYSTEM" />
  </array>
</vudozar>
XML
export VOZER_EXIT_AFTER_FRAMES=10
run_game
show_log
expect_status 0
expect_log "Vozer Sample Game 0.1.0 (id 'VozerSampleGame')" -eq 1
expect_log "Logging Verbose Level set to 3." -eq 1
expect_log "Build variant 'WINDOWS'." -eq 1
expect_log "Vozer sample game: 800x600, frame period 16 ms." -eq 0  # INFO is below the level
expect_log "No Sound Implementation available." -eq 0               # and so is WARNING
expect_log "Initializing RendImp: 800x600 windowed.." -eq 1

# The same run at the INFO level shows the Program's own lines too.
sed -i 's/logging_verbose_level="SYSTEM"/logging_verbose_level="INFO"/' "$game/developer.xml"
run_game
show_log
expect_log "Vozer sample game: 800x600, frame period 16 ms." -eq 1
expect_log "No Sound Implementation available." -eq 1
expect_log "Adding search path 'res://data-music-OGG_44100/'." -eq 1
expect_log "Adding search path 'res://data-sfx-OGG_44100/'." -eq 1
