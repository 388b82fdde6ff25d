#!/usr/bin/env bash
# Makes the emulated machine's disk once and prints its folder
# ($VOZER_CACHE_DIR/i686-vm/image-KEY: root.img, vmlinuz, initrd.img). The
# guest is Debian 12 amd64 (its kernel executes 32-bit programs, emulated or
# not) with 32-bit and 64-bit Wine and their prefixes, Xvfb, Mesa's software
# OpenGL and what the end-to-end cases use (python3, sox, xdotool).
#
# Idempotent and safe from parallel runs: the installed tree is kept per
# package list (rootfs-KEY), the image per recipe (the key covers these
# scripts and the prefix maker), each finished under a lock before it
# appears. Needs root (debootstrap, chroot); installs qemu, debootstrap and
# e2fsprogs on the host when they are missing.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/../env.sh"
source "$here/boot.sh"

suite=bookworm
amd64_packages=(linux-image-amd64 initramfs-tools kmod iproute2 procps
    xvfb xauth xdotool python3 sox libsox-fmt-base
    wine wine64 libwine fonts-wine libgl1 libgl1-mesa-dri)
# 32-bit Wine and the libraries it loads (its own packages only recommend them).
i386_packages=(wine32 libwine libgl1 libglx-mesa0 libgl1-mesa-dri)
x_libs=(libxcomposite1 libxcursor1 libxfixes3 libxi6 libxinerama1 libxrandr2 libxrender1
        libxxf86vm1 libxext6 libfreetype6 libfontconfig1 libgnutls30)
packages=("${amd64_packages[@]}")
for p in "${x_libs[@]}"; do packages+=("$p"); done
for p in "${i386_packages[@]}" "${x_libs[@]}"; do packages+=("$p:i386"); done

vm_root="$VOZER_CACHE_DIR/i686-vm"
package_key="$(printf '%s\n' "$suite" "${packages[@]}" | sha256sum | cut -c1-12)"
image_key="$( { echo "$package_key"; cat "$here/image.sh" "$here/guest-init.sh" "$here/first-boot.sh" \
    "$here/../wine-prefix.sh"; } | sha256sum | cut -c1-12)"
rootfs="$vm_root/rootfs-$package_key"
image="$vm_root/image-$image_key"
if [ -f "$image/ready" ]; then
    printf '%s\n' "$image"
    exit 0
fi

[ "$(id -u)" -eq 0 ] || vz_die "making the emulated machine's disk needs root (debootstrap and chroot)"
"$here/../install-packages.sh" qemu-system-x86 debootstrap e2fsprogs >&2 || true
for tool in qemu-system-x86_64 debootstrap mke2fs; do
    command -v "$tool" >/dev/null 2>&1 || vz_die "$tool is missing and could not be installed (apt-get install qemu-system-x86 debootstrap e2fsprogs): the emulated 32-bit test bed cannot be made"
done

mkdir -p "$vm_root"
exec 9>"$vm_root/.lock"
flock 9
if [ -f "$image/ready" ]; then
    printf '%s\n' "$image"
    exit 0
fi
log="$VOZER_CACHE_DIR/logs/i686-vm-image.log"
: >"$log"
vz_log "making the emulated machine's disk $image (log: $log)" >&2
start=$SECONDS

# --- the Debian mirror: the one this machine's apt uses ----------------------
# (deb822 .sources files and one-line lists; VOZER_VM_MIRROR overrides)
apt_uris() {
    {
        cat /etc/apt/sources.list.d/*.sources 2>/dev/null | awk 'tolower($1) == "uris:" { for (i = 2; i <= NF; i++) print $i }'
        cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null \
            | sed -e 's/\[[^]]*\]//' | awk '$1 == "deb" { print $2 }'
    } | sed -e 's:/*$::'
}
mirror="${VOZER_VM_MIRROR:-$(apt_uris | grep -E '/debian$' | head -n 1 || true)}"
security="$(apt_uris | grep -E '/debian-security$' | head -n 1 || true)"
[ -n "$mirror" ] || vz_die "no Debian mirror in this machine's apt sources; set VOZER_VM_MIRROR"

in_root() {
    chroot "$rootfs" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
        DEBIAN_FRONTEND=noninteractive "$@"
}
mount_system() {
    mountpoint -q "$rootfs/proc" || mount -t proc proc "$rootfs/proc"
    mountpoint -q "$rootfs/sys" || mount -t sysfs sys "$rootfs/sys"
    mountpoint -q "$rootfs/dev" || mount --bind /dev "$rootfs/dev"
    mountpoint -q "$rootfs/dev/pts" || mount -t devpts devpts "$rootfs/dev/pts" -o newinstance,ptmxmode=0666
}
unmount_system() {
    local m
    for m in dev/pts dev sys proc; do
        if mountpoint -q "$rootfs/$m" 2>/dev/null; then umount "$rootfs/$m" || umount -l "$rootfs/$m"; fi
    done
}
work="$vm_root/.work"
trap 'unmount_system; rm -rf "$work"' EXIT

# --- the installed tree (kept while the package list stays) -------------------
if [ ! -f "$rootfs/.vozer-ready" ]; then
    unmount_system
    rm -rf "$rootfs"
    vz_log "debootstrap $suite amd64 from $mirror" >&2
    # A mirror in the middle of a sync serves an index or two it cannot back
    # up yet; a little later it can.
    tries=0
    until vz_quiet "$log" debootstrap --arch=amd64 --variant=minbase "$suite" "$rootfs" "$mirror" >&2; do
        tries=$((tries + 1))
        [ "$tries" -lt 3 ] || vz_die "debootstrap failed $tries times (log: $log)"
        vz_warn "debootstrap failed (a mirror in mid-sync?); trying again in a minute"
        sleep 60
        rm -rf "$rootfs"
    done
    mount_system
    {
        echo "deb $mirror $suite main"
        echo "deb $mirror $suite-updates main"
        [ -z "$security" ] || echo "deb $security $suite-security main"
    } >"$rootfs/etc/apt/sources.list"
    echo 'APT::Install-Recommends "false";' >"$rootfs/etc/apt/apt.conf.d/99no-recommends"
    # No service starts inside the chroot.
    printf '#!/bin/sh\nexit 101\n' >"$rootfs/usr/sbin/policy-rc.d"
    chmod +x "$rootfs/usr/sbin/policy-rc.d"
    in_root dpkg --add-architecture i386
    if ! vz_quiet "$log" in_root apt-get -q -o Acquire::Retries=3 update >&2; then
        vz_warn "apt-get update failed in part in the guest's tree (a mirror in mid-sync?); going on with the lists it fetched"
    fi
    # The maintainer scripts of some i386 packages run i386 programs, which
    # this kernel cannot: they fail here and are finished at the first boot.
    # Unpacked is enough here; configured is the first boot's job. A package
    # the mirror cannot serve yet gets one more try a minute later.
    for attempt in 1 2; do
        vz_log "installing ${#packages[@]} packages into the guest's tree" >&2
        in_root apt-get -q -o Acquire::Retries=3 install -y -o Dpkg::Options::=--force-confold \
            "${packages[@]}" >>"$log" 2>&1 || true
        in_root dpkg --configure -a >>"$log" 2>&1 || true
        missing=()
        for p in "${packages[@]}"; do
            st="$(in_root dpkg-query -W -f='${db:Status-Abbrev}' "$p" 2>/dev/null || true)"
            case "$st" in ii*|iU*|iF*|iH*) ;; *) missing+=("$p") ;; esac
        done
        [ "${#missing[@]}" -eq 0 ] && break
        [ "$attempt" -eq 1 ] || vz_die "not installed in the guest's tree: ${missing[*]} (log: $log)"
        vz_warn "not installed yet: ${missing[*]}; trying again in a minute"
        sleep 60
        in_root apt-get -q -o Acquire::Retries=3 update >>"$log" 2>&1 || true
    done
    in_root apt-get clean
    rm -f "$rootfs/usr/sbin/policy-rc.d"
    touch "$rootfs/.vozer-ready"
fi

# --- the guest's own boot: PID 1, a small initramfs for the virtio disk -------
mount_system
install -m 0755 "$here/guest-init.sh" "$rootfs/usr/local/sbin/vozer-guest-init"
mkdir -p "$rootfs/etc/initramfs-tools/conf.d"
printf 'MODULES=list\nCOMPRESS=gzip\n' >"$rootfs/etc/initramfs-tools/conf.d/vozer.conf"
printf '%s\n' virtio_pci virtio_blk ext4 crc32c_generic >"$rootfs/etc/initramfs-tools/modules"
vz_quiet "$log" in_root update-initramfs -u -k all >&2 || vz_die "update-initramfs failed in the guest's tree (log: $log)"
: >"$rootfs/etc/fstab"
echo vozer-guest >"$rootfs/etc/hostname"
echo "127.0.0.1 localhost vozer-guest" >"$rootfs/etc/hosts"
unmount_system

rm -rf "$work"
mkdir -p "$work"
kernel="$(ls "$rootfs/lib/modules" | sort -V | tail -n 1)"
install -m 0644 "$rootfs/boot/vmlinuz-$kernel" "$work/vmlinuz"
install -m 0644 "$rootfs/boot/initrd.img-$kernel" "$work/initrd.img"
# Room for the Wine prefixes and the jobs' folders (a run writes into a
# throw-away copy, so the file only grows by what the first boot adds).
size_mb=$(( $(du -sm "$rootfs" | cut -f1) + 4096 ))
vz_quiet "$log" mke2fs -q -t ext4 -L vozer-guest -E root_owner=0:0 -d "$rootfs" "$work/root.img" "${size_mb}M" >&2 \
    || vz_die "mke2fs failed (log: $log)"

# --- first boot: finish the i386 packages, make the Wine prefixes -------------
vz_log "first boot of the emulated machine (finishing packages, making the Wine prefixes; minutes under emulation)" >&2
ctl="$work/ctl"
mkdir -p "$ctl/tools/lib"
cp "$here/first-boot.sh" "$ctl/job.sh"
cp "$here/../env.sh" "$here/../wine-prefix.sh" "$ctl/tools/lib/"
rc=0
vm_boot "$work" "$ctl" setup 3000 >>"$log" 2>&1 || rc=$?
cat "$ctl/console.log" >>"$log" 2>/dev/null || true
[ "$rc" -eq 0 ] || vz_die "the first boot of the emulated machine failed (exit $rc; log: $log)"
rm -rf "$ctl"

mv "$work" "$image"
touch "$image/ready"
# Older disks are of older recipes; a machine still running on one keeps it open.
for old in "$vm_root"/image-*; do
    [ "$old" = "$image" ] || rm -rf "$old"
done
for old in "$vm_root"/rootfs-*; do
    [ "$old" = "$rootfs" ] || { rootfs="$old" unmount_system; rm -rf "$old"; }
done
vz_log "emulated machine ready after $((SECONDS - start)) s: $image" >&2
printf '%s\n' "$image"
