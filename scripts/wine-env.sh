# Sourced by the scripts that run Windows programs: one throw-away 32-bit
# Wine prefix per run, quiet, without the .NET and HTML engines, and only
# this run's wineserver stopped at the end.
quorvel_wine_start() {
  WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/quorvel-wine.XXXXXX")
  export WINEPREFIX WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  wineboot -i >/dev/null 2>&1
  # Let the first server finish setting up the prefix before tests start.
  wineserver -w >/dev/null 2>&1 || true
}

quorvel_wine_stop() {
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
    wineserver -k >/dev/null 2>&1 || true
    rm -rf "$WINEPREFIX"
  fi
}
