# Boots the emulated machine for one job; source it (after tools/lib/env.sh).
#
# vm_boot IMAGE_DIR CTL MODE TIMEOUT [JOB_DIR]: CTL is an empty host folder
# that becomes the guest's /ctl, holding job.sh (the command), job.vars (its
# VAR=VALUE lines) and afterwards stdout, stderr, rc, timing, console.log and
# (MODE run) out.tar. MODE run boots a throw-away copy of IMAGE_DIR/root.img
# and copies JOB_DIR in at the same path; MODE setup boots the image itself.
# Streams the job's output while it runs; returns its exit code, 124 when
# TIMEOUT seconds passed, 125 when the machine failed (its console's last
# lines are then printed).
#
# qemu without KVM (TCG): an amd64 guest kernel executes 32-bit programs even
# where the host kernel does not. Settings that mattered: several TCG threads,
# SMAP off (slow to emulate), a virtio disk without host syncs, the kernel
# booted directly.

vm_boot() {
    local image="$1" ctl="$2" mode="$3" timeout="$4" job="${5:-}"
    local here
    here="$(dirname "${BASH_SOURCE[0]}")"
    cp "$here/agent.sh" "$ctl/agent.sh"
    {
        printf 'MODE=%q\n' "$mode"
        printf 'JOB_DIR=%q\n' "$job"
        printf 'TIMEOUT=%q\n' "$timeout"
        printf 'SCREEN=%q\n' "$VOZER_XVFB_SCREEN"
    } >"$ctl/job.env"
    [ -f "$ctl/job.vars" ] || : >"$ctl/job.vars"
    : >"$ctl/stdout"
    : >"$ctl/stderr"
    rm -f "$ctl/rc" "$ctl/out.tar"

    local drive="file=$image/root.img,if=virtio,format=raw"
    if [ "$mode" = run ]; then drive="$drive,cache=unsafe,snapshot=on"; else drive="$drive,cache=writeback"; fi
    local qemu=(qemu-system-x86_64 -nodefaults -no-user-config -nographic -no-reboot
        -machine pc -accel tcg,thread=multi -cpu max,-smap
        -smp "${VOZER_VM_CPUS:-2}" -m "${VOZER_VM_MEMORY_MB:-2048}"
        -kernel "$image/vmlinuz" -initrd "$image/initrd.img"
        -append "console=ttyS0 root=/dev/vda rw rootfstype=ext4 init=/usr/local/sbin/vozer-guest-init quiet loglevel=4 panic=-1 fsck.mode=skip noresume mitigations=off tsc=reliable"
        -drive "$drive"
        -device virtio-rng-pci
        -virtfs "local,path=$ctl,mount_tag=vozerctl,security_model=none,id=ctl"
        -serial "file:$ctl/console.log" -monitor none)
    [ -n "$job" ] && qemu+=(-virtfs "local,path=$job,mount_tag=vozerjob,security_model=none,readonly=on,id=job")

    "${qemu[@]}" </dev/null >"$ctl/qemu.txt" 2>&1 &
    local qemu_pid=$!
    tail -n +1 -f --pid="$qemu_pid" "$ctl/stdout" &
    local tail_out=$!
    tail -n +1 -f --pid="$qemu_pid" "$ctl/stderr" >&2 &
    local tail_err=$!

    # The guest stops the job at TIMEOUT; booting, copying in and back get
    # their own allowance on top.
    local deadline=$((SECONDS + timeout + ${VOZER_VM_BOOT_ALLOWANCE:-240})) timed_out=""
    while kill -0 "$qemu_pid" 2>/dev/null; do
        if [ "$SECONDS" -ge "$deadline" ]; then
            timed_out=1
            vz_warn "the emulated machine did not finish within $timeout s and its allowance: stopping it"
            kill "$qemu_pid" 2>/dev/null
            sleep 3
            kill -9 "$qemu_pid" 2>/dev/null
            break
        fi
        sleep 0.5
    done
    local qemu_rc=0
    wait "$qemu_pid" 2>/dev/null || qemu_rc=$?
    wait "$tail_out" "$tail_err" 2>/dev/null

    if [ -s "$ctl/rc" ]; then
        return "$(tr -dc '0-9' <"$ctl/rc")"
    fi
    if [ -n "$timed_out" ]; then return 124; fi
    {
        printf '== the emulated machine gave no exit code (qemu ended with %s); its output and console:\n' "$qemu_rc"
        cat "$ctl/qemu.txt"
        tail -n 40 "$ctl/console.log" 2>/dev/null
    } >&2
    return 125
}
