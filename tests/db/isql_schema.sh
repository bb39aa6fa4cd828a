#!/usr/bin/env bash
# Applies the schema files, in name order, to a new database through isql-fb, stopping at
# the first error, then checks that every table, view and procedure is there.
set -euo pipefail
schema=${1:?schema folder}
isql=$(command -v isql-fb || command -v isql || true)
if [[ -z "$isql" ]]; then
  echo "isql-fb not installed: skipped"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
db="$work/isql.fdb"
echo "CREATE DATABASE '$db' USER 'SYSDBA' PAGE_SIZE 8192 DEFAULT CHARACTER SET UTF8;" >"$work/create.sql"
"$isql" -q -bail -i "$work/create.sql"
for file in $(ls "$schema"/*.sql | sort); do
  if ! "$isql" -q -bail -user SYSDBA "$db" -i "$file" >"$work/out.txt" 2>&1 || [[ -s "$work/out.txt" ]]; then
    echo "isql-fb failed on $(basename "$file"):"
    cat "$work/out.txt"
    exit 1
  fi
done
counts=$(echo "SET LIST ON;
SELECT
  (SELECT COUNT(*) FROM RDB\$RELATIONS WHERE RDB\$SYSTEM_FLAG = 0 AND RDB\$VIEW_BLR IS NULL) AS TABLES_,
  (SELECT COUNT(*) FROM RDB\$RELATIONS WHERE RDB\$SYSTEM_FLAG = 0 AND RDB\$VIEW_BLR IS NOT NULL) AS VIEWS_,
  (SELECT COUNT(*) FROM RDB\$PROCEDURES WHERE RDB\$SYSTEM_FLAG = 0) AS PROCS_
FROM RDB\$DATABASE;" | "$isql" -q -user SYSDBA "$db" | tr -s ' \n' ' ')
echo "$counts"
[[ "$counts" == *"TABLES_ 130 VIEWS_ 11 PROCS_ 8"* ]] || { echo "unexpected object counts"; exit 1; }
echo "schema applied through isql-fb"
