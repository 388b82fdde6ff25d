# A Program that faults in any of its five entries: the run ends at once
# with exit code 3, the log names the entry and where it faulted, the player
# is told (here on stderr), and no code of the Program runs after the fault
# (no Shutdown after a fault elsewhere). A fault in Shutdown still lets the
# runtime release what the Program kept and end its log. OnEvent faults the
# way a game does that calls the engine before Init stored the table: in the
# parameter check, before the window exists.
use_program probe
program_folder="Vozer Tests/Probe_Test"
write_prog_xml 'logging="1" console="1"'
for entry in OnEvent Init Update Render Shutdown; do
    echo "=== fault in $entry"
    started=$SECONDS
    VOZER_TEST_CRASH_IN=$entry run_game
    show_log
    expect_status 3
    [ $((SECONDS - started)) -le 20 ] || fail "$entry: the run took $((SECONDS - started)) s to end"
    expect_trace "crashing" -eq 1
    expect_trace "survived" -eq 0
    expect_log "Program crashed in its $entry" -eq 1
    expect_output "The program crashed in its $entry"
    # Where: the faulting instruction lies in the Program's library.
    expect_log "at 0x" -ge 1
    expect_log "(prog$VOZER_LIB_SUFFIX+0x" -eq 1
    case $entry in
        OnEvent)
            expect_log "Program crashed in its OnEvent (event 18)" -eq 1
            expect_trace "init" -eq 0 ;;
        Shutdown)
            expect_trace "shutdown" -eq 1
            expect_log "releasing its resources without it." -eq 1
            expect_log "Vozer RendImp Shutdown." -eq 1
            expect_log "VOZER log: " -eq 1 ;;
        *)
            expect_trace "shutdown" -eq 0
            expect_log "VOZER Shutdown." -eq 0 ;;
    esac
    rm -f "$game/trace.txt"
done
