# Sourced by the scripts that start the program or its tools with the embedded engine.
# Debian's Firebird server package makes the engine's default lock folder, /tmp/firebird, its
# own group's (mode 0770): an ordinary user outside that group is refused every local database
# there ("operating system directive access failed"). Such a user's engine gets a lock folder
# of their own; a FIREBIRD_LOCK already set, or a /tmp/firebird the user may use, is kept.
if [[ -z "${FIREBIRD_LOCK:-}" && -d /tmp/firebird && ! (-w /tmp/firebird && -x /tmp/firebird) ]]; then
  export FIREBIRD_LOCK="${XDG_RUNTIME_DIR:-$HOME/.cache}/tavrin-firebird"
  mkdir -p -m 0700 "$FIREBIRD_LOCK"
fi
