#!/bin/bash
# PID 1 of the emulated machine (no systemd, no getty: it boots for one job
# and powers off). Mounts what a job needs, mounts the host's control folder
# (9p tag "vozerctl") at /ctl and runs the agent the host put there.
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
export LANG=C.UTF-8 HOME=/root
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev 2>/dev/null
mkdir -p /dev/pts /dev/shm
mount -t devpts -o gid=5,mode=620,ptmxmode=666 devpts /dev/pts
mount -t tmpfs -o mode=1777 tmpfs /dev/shm
mount -t tmpfs -o mode=755 tmpfs /run
mount -t tmpfs -o mode=1777 tmpfs /tmp
mount -o remount,rw /
ln -sf /proc/self/fd /dev/fd
ln -sf /proc/self/fd/0 /dev/stdin
ln -sf /proc/self/fd/1 /dev/stdout
ln -sf /proc/self/fd/2 /dev/stderr
hostname vozer-guest
ip link set lo up 2>/dev/null || true
modprobe -a 9pnet_virtio 9p 2>/dev/null
mkdir -p /ctl
if mount -t 9p -o trans=virtio,version=9p2000.L,msize=262144,cache=none vozerctl /ctl; then
    if [ -f /ctl/agent.sh ]; then
        bash /ctl/agent.sh
    else
        echo "guest: the control folder has no agent.sh" >&2
    fi
    umount /ctl
else
    echo "guest: cannot mount the control folder" >&2
fi
sync
umount -a -r 2>/dev/null
echo o >/proc/sysrq-trigger
sleep 30
