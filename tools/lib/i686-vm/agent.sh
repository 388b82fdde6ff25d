#!/bin/bash
# Runs inside the emulated machine for one boot (the host copies it into the
# control folder /ctl each time, so changing it needs no new image).
# /ctl/job.env gives MODE (setup: the root disk is the image itself; run: a
# throw-away copy of it), JOB_DIR, TIMEOUT and SCREEN; /ctl/job.sh is the
# command. What it prints goes to /ctl/stdout and /ctl/stderr while it runs;
# its exit code to /ctl/rc, last.
set -u
# shellcheck source=/dev/null
. /ctl/job.env
uptime_s() { cut -d' ' -f1 /proc/uptime; }
echo "booted $(uptime_s)" >/ctl/timing

# The job's environment: nothing of PID 1's but what every job needs. The
# Wine settings are the project's (a script that sources tools/lib/env.sh
# gets the same ones); the prefixes were made when the image was.
job_env=(HOME=/root USER=root LANG=C.UTF-8 PATH=/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin
         VOZER_CACHE_DIR=/var/cache/vozer WINEPREFIX=/var/cache/vozer/wine-win32 WINEARCH=win32
         WINEDEBUG=-all "WINEDLLOVERRIDES=mscoree,mshtml=;winealsa.drv,winepulse.drv=d;winedbg.exe=d")
while IFS= read -r line; do job_env+=("$line"); done </ctl/job.vars

if [ "$MODE" = run ]; then
    # Programs run from a 9p share fault in their own code (9p without a page
    # cache does not map files faithfully): the job works on a copy on the
    # machine's own disk, at the path it has on the host.
    mkdir -p /mnt/job "$JOB_DIR"
    if ! mount -t 9p -o trans=virtio,version=9p2000.L,msize=262144,cache=none,ro vozerjob /mnt/job \
        || ! cp -a /mnt/job/. "$JOB_DIR/"; then
        echo "guest: cannot copy the job folder in" >/ctl/stderr
        echo 125 >/ctl/rc
        exit 0
    fi
    umount /mnt/job
fi
touch /tmp/job-started
echo "copied $(uptime_s)" >>/ctl/timing

cd "${JOB_DIR:-/root}" || exit 0
env -i "${job_env[@]}" timeout -k 10 "$TIMEOUT" \
    xvfb-run -a -s "-screen 0 $SCREEN -nolisten tcp" bash /ctl/job.sh \
    >/ctl/stdout 2>/ctl/stderr </dev/null
rc=$?
echo "ran $(uptime_s)" >>/ctl/timing
# Wine's server and services would only die with the machine; a setup job's
# registry must reach the disk first.
for prefix in wine-win32 wine-win64; do
    env -i "${job_env[@]}" WINEPREFIX="/var/cache/vozer/$prefix" timeout 20 wineserver -k >/dev/null 2>&1
done

if [ "$MODE" = run ]; then
    # What the job wrote or changed in its folder goes back to the host.
    find . -newer /tmp/job-started \( -type f -o -type l \) -print0 \
        | tar --null -T - -cf /ctl/out.tar 2>>/ctl/stderr
fi
sync
echo "$rc" >/ctl/rc
