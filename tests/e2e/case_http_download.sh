# A game downloads a 10 MB file from a loopback server through
# OpenFile("http://127.0.0.1:PORT/...") and checks every byte; a second run,
# with the server gone, opens the same URL from the download cache.
use_program net
size=10485760
server_program="$VOZER_BUILD_DIR/testtools/vozer_test_httpd$VOZER_EXE_SUFFIX"
mkdir -p "$work/www"
printf 'hello from the server' >"$work/www/hello.txt"

# Earlier runs under Wine share the prefix's user data: start without a cache.
forget_cache() { program_data_folders | while read -r folder; do rm -rf "$folder/cache"; done; }
forget_cache

server_args=(--port-file "$work/port" --pattern "big.bin:$size" --root "$work/www" --requests 2 --seconds 90)
if [ "$VOZER_TARGET" = win32 ]; then
    "$VOZER_SOURCE_DIR/tools/wine-exec" "$server_program" "${server_args[@]}" >"$work/server.txt" 2>&1 &
else
    "$server_program" "${server_args[@]}" >"$work/server.txt" 2>&1 &
fi
server_pid=$!
for _ in $(seq 300); do [ -s "$work/port" ] && break; sleep 0.1; done
port=$(tr -d '[:space:]' <"$work/port" 2>/dev/null)
[ -n "$port" ] || fail "the test server did not start: $(cat "$work/server.txt")"

run_game "http_port=$port" "http_size=$size" "http_request=1"
expect_status 0
expect_trace "init-open 0" -eq 1
expect_trace "open 1" -eq 1
expect_trace "size $size" -eq 1
expect_trace "verified $size" -eq 1
expect_trace "request 200" -eq 1
expect_trace "request-text hello from the server" -eq 1

# Both requests served: the server ends by itself.
for _ in $(seq 100); do kill -0 "$server_pid" 2>/dev/null || break; sleep 0.1; done
kill "$server_pid" 2>/dev/null && fail "the test server was still running"
wait "$server_pid" 2>/dev/null
grep -q "served 2 requests" "$work/server.txt" || fail "server: $(cat "$work/server.txt")"

cached=$(program_data_folders | while read -r folder; do
    find "$folder/cache" -name "http__127.0.0.1${port}_big.bin" -size "${size}c" 2>/dev/null; done)
[ -n "$cached" ] || fail "no cache file of $size bytes named http__127.0.0.1${port}_big.bin"

run_game "http_port=$port" "http_size=$size"
expect_status 0
expect_trace "open 1" -eq 1
expect_trace "verified $size" -eq 1
forget_cache
