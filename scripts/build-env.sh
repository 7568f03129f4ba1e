# Sourced (POSIX sh) by scripts/dev, scripts/sanitize-test and the fuzz scripts: the compiler
# cache every build goes through, and the stage clock .ci/run reads.
#
# ccache: on when installed, unless ORVANE_CCACHE=0. Its directory is ccache's own choice
# (CCACHE_DIR, default ~/.cache/ccache); .ci/run points it at a folder of its own. Paths are
# hashed relative to the clone (CCACHE_BASEDIR) and the working folder is left out of the hash
# (CCACHE_NOHASHDIR; -g builds record it otherwise), so a fresh clone in another folder hits
# the cache a clone elsewhere filled.
#   orv_root            the clone's root (set by the caller before sourcing)
#   ORV_LAUNCHER_ARGS   cmake arguments that put ccache in front of the compilers (or nothing)
ORV_LAUNCHER_ARGS=
if [ "${ORVANE_CCACHE:-1}" != 0 ] && command -v ccache >/dev/null 2>&1; then
    CCACHE_BASEDIR=$orv_root
    CCACHE_NOHASHDIR=1
    export CCACHE_BASEDIR CCACHE_NOHASHDIR
    ORV_LAUNCHER_ARGS="-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache"
fi

# orv_stage NAME COMMAND...: runs the command and, when ORVANE_STAGE_FILE names a file, adds
# "NAME<TAB>seconds" to it. The command's status is returned.
orv_stage() {
    orv_stage_name=$1
    shift
    orv_stage_start=$(date +%s)
    orv_stage_status=0
    "$@" || orv_stage_status=$?
    if [ -n "${ORVANE_STAGE_FILE:-}" ]; then
        printf '%s\t%s\n' "$orv_stage_name" "$(($(date +%s) - orv_stage_start))" \
            >>"$ORVANE_STAGE_FILE"
    fi
    return "$orv_stage_status"
}
