# The first boot's job (run by agent.sh on the image itself): what the
# installation could not do without an i386-capable kernel, then the
# project's 32-bit Wine prefix, made as tools/lib/wine-prefix.sh makes it on
# any machine, so tools/wine-exec finds it ready in every later run. The
# 64-bit prefix is not made here: under emulation its first start runs the
# 32-bit side's set-up as well and takes many minutes, for runs that only
# show whether a difference comes from the emulation (tools/wine-exec makes
# it in such a run's throw-away copy).
set -eux
dpkg --configure -a
# These ran i386 helpers at installation (module caches) that failed then.
for p in libglib2.0-0:i386 libgdk-pixbuf-2.0-0:i386; do
    if [ -x "/var/lib/dpkg/info/$p.postinst" ]; then "/var/lib/dpkg/info/$p.postinst" configure; fi
done
[ -z "$(dpkg --audit)" ]
VOZER_WIN_ARCH=i686 /ctl/tools/lib/wine-prefix.sh
du -sh /var/cache/vozer/wine-*
