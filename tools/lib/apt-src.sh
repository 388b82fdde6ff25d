# Sourced: a private apt configuration whose deb-src entries mirror the
# machine's deb entries (same mirrors, suites, components and keys), for
# fetching Debian's source packages. Keeping it private leaves the system's
# apt setup alone and needs no root. vz_apt_src_configure writes it into
# $VOZER_CACHE_DIR/apt-src (again each time: the machine's entries may have
# changed) and sets aptdir, codename and apt_src (the apt-get command line
# that uses it; its lists still need an update).
vz_apt_src_configure() {
    aptdir="$VOZER_CACHE_DIR/apt-src"
    mkdir -p "$aptdir/lists/partial" "$aptdir/cache/archives/partial" "$aptdir/sources.list.d"
    codename="$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")"

    # Only suites of this release: third-party repositories rarely publish sources.
    {
        for f in /etc/apt/sources.list.d/*.sources; do
            [ -f "$f" ] || continue
            awk -v code="$codename" '
                BEGIN { RS = ""; FS = "\n" }
                {
                    out = ""; isdeb = 0; enabled = 1; suites = ""
                    for (i = 1; i <= NF; i++) {
                        line = $i; low = tolower(line)
                        if (line ~ /^#/) continue
                        if (low ~ /^types:/) {
                            if (line ~ /[: \t]deb([ \t]|$)/) isdeb = 1
                            out = out "Types: deb-src\n"; continue
                        }
                        if (low ~ /^enabled:/ && low ~ /(no|false)/) enabled = 0
                        if (low ~ /^architectures:/) continue
                        if (low ~ /^suites:/) {
                            s = line; sub(/^[^:]*:/, "", s)
                            n = split(s, a, /[ \t]+/)
                            for (j = 1; j <= n; j++)
                                if (a[j] == code || index(a[j], code "-") == 1) suites = suites " " a[j]
                            out = out "Suites:" suites "\n"; continue
                        }
                        out = out line "\n"
                    }
                    if (isdeb && enabled && suites != "") printf "%s\n", out
                }' "$f"
        done
    } >"$aptdir/sources.list.d/mirror.sources"
    {
        for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
            [ -f "$f" ] || continue
            awk -v code="$codename" '
                $1 == "deb" {
                    rest = $0; sub(/^[ \t]*deb[ \t]+/, "", rest)
                    opts = ""
                    if (rest ~ /^\[/) { opts = substr(rest, 1, index(rest, "]")); rest = substr(rest, index(rest, "]") + 1) }
                    n = split(rest, a, /[ \t]+/); k = (a[1] == "") ? 2 : 1
                    suite = a[k + 1]
                    if (suite == code || index(suite, code "-") == 1) print "deb-src " opts " " rest
                }' "$f"
        done
    } >"$aptdir/sources.list"
    if [ ! -s "$aptdir/sources.list" ] && ! grep -q '^Types:' "$aptdir/sources.list.d/mirror.sources"; then
        echo "deb-src http://deb.debian.org/debian $codename main" >"$aptdir/sources.list"
    fi

    apt_src=(apt-get -q
        -o Dir::Etc::SourceList="$aptdir/sources.list"
        -o Dir::Etc::SourceParts="$aptdir/sources.list.d"
        -o Dir::State::Lists="$aptdir/lists"
        -o Dir::Cache="$aptdir/cache"
        -o APT::Sandbox::User=root
        -o Acquire::Retries=3)
}
