#!/usr/bin/env bash
# Creates the project's Wine prefix (of VOZER_WIN_ARCH) once. Safe to run any number of
# times and from parallel jobs: a stamp inside the prefix marks it finished.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/env.sh"

stamp="$WINEPREFIX/.vozer-prefix-ready"
[ -f "$stamp" ] && exit 0

vz_can_run_wine || vz_die "cannot create the Wine prefix: $(vz_wine_unavailable_reason)"

exec 8>"$VOZER_CACHE_DIR/wine-prefix.lock"
flock 8
[ -f "$stamp" ] && exit 0

log="$VOZER_CACHE_DIR/logs/wine-prefix.log"
: >"$log"
vz_log "creating Wine prefix $WINEPREFIX (log: $log)"
rm -rf "$WINEPREFIX"        # a half-made one from an interrupted run

# Creating the prefix opens no window, but Wine's X11 driver still wants a
# display to talk to.
on_display=()
if [ -z "${DISPLAY:-}" ]; then
    on_display=(xvfb-run -a -s "-screen 0 $VOZER_XVFB_SCREEN -nolisten tcp")
fi
vz_quiet "$log" "${on_display[@]}" sh -c '
    "$VOZER_WINE" wineboot -i &&
    # Without a window manager, DestroyWindow waits 2 s for one to answer;
    # unmanaged windows skip that.
    "$VOZER_WINE" reg add "HKCU\\Software\\Wine\\X11 Driver" /v Managed /t REG_SZ /d N /f &&
    "$VOZER_WINE" reg query "HKCU\\Software\\Wine\\X11 Driver" /v Managed | grep -q "REG_SZ.*N" &&
    # The registry reaches the disk when the server ends.
    timeout 60 wineserver -w' 8>&-
touch "$stamp"
vz_log "Wine prefix ready"
