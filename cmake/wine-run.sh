#!/usr/bin/env bash
# Runs a Windows program under wine64 for the tests: wine-run.sh PROGRAM [ARGS...]
# (KSB_WINE names another loader and KSB_WINEARCH the prefix's architecture:
# wine32-run.sh uses them for 32-bit programs).
#
# Every run of one build shares one Wine prefix, "wine-prefix" in the build
# folder (found as the nearest folder above the program that holds
# CMakeCache.txt; KSB_WINEPREFIX overrides it). The prefix is made on first
# use, under a lock so that tests started side by side wait for one another,
# with the graphics driver set to null so that windows work without a display.
#
# The programs see the ANSI code page 1251, as on a system set up for language
# 1049: Wine takes it from LC_CTYPE, so a private ru_RU.UTF-8 locale is built
# into the prefix (LOCPATH) when the system's locale sources are there.
# Messages (LC_MESSAGES) stay as they are, so system texts remain English.
set -euo pipefail

if [ $# -lt 1 ]; then
    echo "usage: $0 PROGRAM [ARGS...]" >&2
    exit 2
fi

wine=${KSB_WINE:-/usr/lib/wine/wine64}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"

prefix=${KSB_WINEPREFIX:-}
if [ -z "$prefix" ]; then
    dir=$(cd "$(dirname "$1")" && pwd)
    while [ "$dir" != "/" ] && [ ! -f "$dir/CMakeCache.txt" ]; do
        dir=$(dirname "$dir")
    done
    if [ ! -f "$dir/CMakeCache.txt" ]; then
        dir=$(pwd)
    fi
    prefix="$dir/wine-prefix"
fi
export WINEPREFIX="$prefix"
if [ -n "${KSB_WINEARCH:-}" ]; then
    export WINEARCH="$KSB_WINEARCH"
fi

locale_sources() { command -v localedef >/dev/null && [ -f /usr/share/i18n/locales/ru_RU ]; }

if [ ! -f "$prefix/.ksb-ready" ] || { locale_sources && [ ! -f "$prefix/ksb-locale/.tried" ]; }; then
    mkdir -p "$(dirname "$prefix")"
    exec 9>"$prefix.lock"
    flock 9
    if [ ! -f "$prefix/.ksb-ready" ]; then
        rm -rf "$prefix"
        "$wine" wineboot -i </dev/null >/dev/null 2>&1 9>&-
        "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f </dev/null >/dev/null 2>&1 9>&-
        # Let the server write the registry before the prefix counts as ready.
        "${KSB_WINESERVER:-/usr/lib/wine/wineserver}" -w 9>&- || true
        touch "$prefix/.ksb-ready"
    fi
    if locale_sources && [ ! -f "$prefix/ksb-locale/.tried" ]; then
        mkdir -p "$prefix/ksb-locale"
        localedef -i ru_RU -f UTF-8 "$prefix/ksb-locale/ru_RU.UTF-8" >/dev/null 2>&1 9>&- || true
        touch "$prefix/ksb-locale/.tried"
    fi
    flock -u 9
    exec 9>&-
fi

if [ -d "$prefix/ksb-locale/ru_RU.UTF-8" ]; then
    export LOCPATH="$prefix/ksb-locale"
    if [ -n "${LC_ALL:-}" ]; then
        export LANG="$LC_ALL"
        unset LC_ALL
    fi
    export LC_CTYPE=ru_RU.UTF-8
fi

# Wine's server and its service processes (services.exe, winedevice.exe, ...)
# outlive the program that starts them and keep the standard streams they
# were given, and ctest waits until a test's streams close: a test that
# happened to start them would be held until they go. So they are started
# here, with no streams of the test's, before the program runs: the server
# stays a minute after its last client, and wineboot brings up the services.
# "wineserver -p" gives 0 when it started a server, 2 when one was running.
# The locks' files are never handed to what is started under them (8>&-,
# 9>&-): a lock lives as long as any process holding its file, and the
# server outlives this script, so a run killed inside a locked section would
# otherwise leave the lock taken for every run after it.
wineserver=${KSB_WINESERVER:-/usr/lib/wine/wineserver}
exec 8>"$prefix.server.lock"
flock 8
if "$wineserver" -p60 </dev/null >/dev/null 2>&1 8>&-; then
    "$wine" wineboot </dev/null >/dev/null 2>&1 8>&- || true
fi
flock -u 8
exec 8>&-

exec "$wine" "$@"
