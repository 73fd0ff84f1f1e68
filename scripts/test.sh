#!/usr/bin/env bash
# Builds everything and runs every test (offscreen, in parallel) twice: under C.UTF-8 and under
# ru_RU.UTF-8, the decimal comma of the users' desktops. A system without ru_RU.UTF-8 gets it
# generated into the build tree for the second run.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/build.sh"
export QT_QPA_PLATFORM=offscreen
cd "$root/build"

# Runs the suite under locale $1; W9_EXPECT_DECIMAL_POINT ($2) makes a test check that the
# locale is really there.
run_suite() {
    echo "== tests under $1"
    LANG="$1" LC_ALL="$1" W9_EXPECT_DECIMAL_POINT="$2" \
        ctest --output-on-failure --parallel "$(nproc)" "${@:3}"
}

if ! locale -a | grep -ix 'ru_RU\.utf-\?8' >/dev/null; then
    locales="$root/build/locale"
    if [ ! -f "$locales/ru_RU.UTF-8/LC_NUMERIC" ]; then
        mkdir -p "$locales"
        localedef -i ru_RU -f UTF-8 "$locales/ru_RU.UTF-8"
    fi
    ru_locpath="$locales"
fi

status=0
run_suite C.UTF-8 . "$@" || status=1
if [ -n "${ru_locpath:-}" ]; then
    export LOCPATH="$ru_locpath"
fi
run_suite ru_RU.UTF-8 , "$@" || status=1
exit $status
