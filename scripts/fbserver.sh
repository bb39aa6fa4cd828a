#!/usr/bin/env bash
# A private Firebird 3 server for tests and benchmarks, never the machine's own.
#
#   scripts/fbserver.sh start INSTANCE   starts a server and writes INSTANCE
#   scripts/fbserver.sh stop INSTANCE    stops that server and removes its folder and INSTANCE
#   scripts/fbserver.sh halt INSTANCE    stops the server process only (a server gone away)
#   scripts/fbserver.sh resume INSTANCE  starts it again, same port, password and databases
#
# The server runs as the current user on 127.0.0.1 and a free port, with its configuration,
# lock folder, security database and data folder in a temporary folder of its own. The SYSDBA
# password is made up here for the one run and kept only in that folder (mode 0700).
# INSTANCE (any path, e.g. in the build folder) names the folder; the folder's server.ini says
# where the server is:
#   [Server]  Host=127.0.0.1  Port=<port>  User=SYSDBA  Password=<password>  Data=<folder>/data
# Nothing of the machine's installation is changed: a server the machine runs keeps its port,
# its lock folder (/tmp/firebird) and its security database, which this server never opens
# (SecurityDatabase names its own; the one of databases.conf is only an alias).
set -euo pipefail

action=${1:?start or stop}
instance=${2:?instance file}
server_bin=${TAVRIN_FIREBIRD_SERVER:-/usr/sbin/firebird}
fb_lib=$(echo /usr/lib/*/firebird/3.0)

folder_of() { [[ -f "$instance" ]] && head -n 1 "$instance" || true; }

# The server processes started for this folder, found by the folder in their environment: a
# pid file outlives its process, and the number may have gone to another program since.
our_pids() {
  local folder=$1 environ
  for environ in /proc/[0-9]*/environ; do
    tr '\0' '\n' 2>/dev/null < "$environ" | grep -qx "FIREBIRD=$folder" \
      && basename "$(dirname "$environ")"
  done
  return 0
}

halt() {
  local folder pids
  folder=$(folder_of)
  [[ -n "$folder" ]] || return 0
  pids=$(our_pids "$folder")
  [[ -n "$pids" ]] || return 0
  # shellcheck disable=SC2086
  kill $pids 2>/dev/null || true
  for _ in $(seq 50); do [[ -z "$(our_pids "$folder")" ]] && return 0; sleep 0.1; done
  # shellcheck disable=SC2046
  kill -KILL $(our_pids "$folder") 2>/dev/null || true
}

stop() {
  local folder
  folder=$(folder_of)
  [[ -n "$folder" ]] || return 0
  halt
  # Only a folder this script made is removed.
  [[ "$folder" == */tavrin-fbserver.* && -d "$folder" ]] && rm -rf "$folder"
  rm -f "$instance"
}

free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

listening() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }

# Starts the server of the folder on the port of its firebird.conf; true once it listens.
launch() {
  local folder=$1 port=$2
  (
    export FIREBIRD=$folder FIREBIRD_LOCK=$folder/lock FIREBIRD_TMP=$folder/tmp
    cd "$folder"
    setsid "$server_bin" >> "$folder/server.log" 2>&1 < /dev/null &
    echo $! > "$folder/pid"
  )
  for _ in $(seq 100); do
    listening "$port" && break
    kill -0 "$(cat "$folder/pid")" 2>/dev/null || break
    sleep 0.1
  done
  listening "$port" && kill -0 "$(cat "$folder/pid")" 2>/dev/null
}

resume() {
  local folder port
  folder=$(folder_of)
  [[ -n "$folder" && -f "$folder/server.ini" ]] || { echo "No server instance in $instance" >&2; exit 1; }
  port=$(sed -n 's/^Port=//p' "$folder/server.ini")
  [[ -n "$(our_pids "$folder")" ]] && return 0
  launch "$folder" "$port" || { cat "$folder/server.log" >&2; exit 1; }
}

start() {
  [[ -x "$server_bin" ]] || { echo "No Firebird server at $server_bin (Debian: firebird3.0-server)" >&2; exit 1; }
  stop # a server left by an interrupted run
  local folder password port
  folder=$(mktemp -d "${TMPDIR:-/tmp}/tavrin-fbserver.XXXXXX")
  chmod 0700 "$folder"
  mkdir "$folder/lock" "$folder/tmp" "$folder/data"
  password=$(head -c 32 /dev/urandom | base64 | tr -dc 'A-Za-z0-9' | head -c 20)
  cp "$fb_lib/plugins.conf" "$folder/"
  ln -s "$fb_lib/firebird.msg" "$folder/firebird.msg"
  # The character sets beyond the built-in ones (WIN1252, ISO8859_1, ...) are looked up under
  # the server's root folder, which is this one. A symbolic link to the module is refused: it
  # is copied.
  mkdir "$folder/intl"
  cp "$fb_lib/intl/fbintl.conf" "$fb_lib/intl/libfbintl.so" "$folder/intl/"
  echo "security.db = $folder/security3.fdb" > "$folder/databases.conf"
  printf '%s\n' "$folder" > "$instance"

  for attempt in 1 2 3; do
    port=$(free_port)
    cat > "$folder/firebird.conf" <<EOF
RemoteServicePort = $port
RemoteBindAddress = 127.0.0.1
SecurityDatabase = $folder/security3.fdb
ServerMode = Super
UdfAccess = None
AuthServer = Srp
UserManager = Srp
EOF
    if [[ ! -f "$folder/security3.fdb" ]]; then
      # The security database, made as Debian makes its own, with the run's password.
      (
        export FIREBIRD=$folder FIREBIRD_LOCK=$folder/lock FIREBIRD_TMP=$folder/tmp
        echo "create database '$folder/security3.fdb';" | isql-fb -q
        isql-fb -q -user SYSDBA -i /usr/share/firebird/3.0/security.sql "$folder/security3.fdb"
        echo "create or alter user SYSDBA password '$password';" \
          | isql-fb -q -user SYSDBA "$folder/security3.fdb"
      )
    fi
    if launch "$folder" "$port"; then
      cat > "$folder/server.ini" <<EOF
[Server]
Host=127.0.0.1
Port=$port
User=SYSDBA
Password=$password
Data=$folder/data
EOF
      chmod 0600 "$folder/server.ini"
      echo "Firebird server on 127.0.0.1/$port (folder $folder)"
      return 0
    fi
    # Someone took the port between the choice and the start: try another one.
    halt
    echo "The Firebird server did not start on port $port (attempt $attempt):" >&2
    cat "$folder/server.log" >&2 || true
  done
  stop
  exit 1
}

case "$action" in
  start) start ;;
  stop) stop ;;
  halt) halt ;;
  resume) resume ;;
  *) echo "usage: $0 start|stop|halt|resume INSTANCE" >&2; exit 2 ;;
esac
