# The sample game finds its sprites in art.pak (painted and packed at build
# time), draws with a render target, writes text with the fonts compiled at
# build time, and leaves no bitmap, font or texture behind.
use_sample
cat >"$game/developer.xml" <<'XML'
<?xml version="1.0" encoding="utf-8"?>
<vudozar>
  <array id="PARAMETERS">
    <node id="DEVELOPER" logging="1" console="1" logging_verbose_level="INFO" />
  </array>
</vudozar>
XML
[ -f "$game/art.pak" ] || fail "the build made no art.pak"
export VOZER_EXIT_AFTER_FRAMES=20
run_game
show_log
expect_status 0
expect_log "Adding search path 'res://art/'." -eq 1
expect_log "..caching bitmap 'sprites/ball'" -eq 1
expect_log "..creating bitmap 'trails' (256x256)" -eq 1
expect_log "textures alive at shutdown" -eq 1
expect_log " 0 textures alive at shutdown" -eq 1
expect_log "Reference count" -eq 0   # nothing leaked
expect_log "Releasing bitmap 'trails'.." -eq 1
expect_log "..caching font 'fonts/text.mft'" -eq 1
expect_log "..caching font 'fonts/title.mft'" -eq 1
expect_log "Unable to load font" -eq 0
expect_log "Missing unicode" -eq 0
