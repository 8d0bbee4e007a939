# Sourced by the scripts that run Windows programs: one throw-away Wine
# prefix per run, quiet, without the .NET and HTML engines, and only this
# run's wineserver stopped at the end. The prefix is 64-bit: it runs the
# 32-bit build too, so both pay for one wineboot.
quorvel_wine_start() {
  WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/quorvel-wine.XXXXXX")
  export WINEPREFIX WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  wineboot -i >/dev/null 2>&1
  # Let the first server finish setting up the prefix before tests start.
  wineserver -w >/dev/null 2>&1 || true
  # Then one server for the whole run: a persistent one keeps Wine's
  # services running, so a program starts in a fraction of a second instead
  # of bringing them up and down again (seconds each). They are started here
  # with nothing of a test's attached: services that a test's program
  # started would hold that test's output pipe open for good.
  wineserver -p </dev/null >/dev/null 2>&1
  wine cmd.exe /c exit </dev/null >/dev/null 2>&1 || true
}

quorvel_wine_stop() {
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
    wineserver -k >/dev/null 2>&1 || true
    rm -rf "$WINEPREFIX"
  fi
}
