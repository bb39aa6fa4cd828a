#!/usr/bin/env bash
# Shared set-up of run.sh and test.sh: installs the missing Debian packages, configures and
# builds.
#   scripts/setup.sh [--quiet] <build-dir> [target...]
# Without targets everything is built (the tests too). With --quiet each step prints one line
# and its output goes to <build-dir>/setup.log, shown in full when the step fails.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
quiet=0
if [[ "${1:-}" == "--quiet" ]]; then
  quiet=1
  shift
fi
build=${1:?build directory}
shift
targets=("$@")
mkdir -p "$build"
log="$build/setup.log"
: > "$log"

# step <title> <command...>: runs a step, quietly or not.
step() {
  local title=$1
  shift
  if ((quiet)); then
    printf '%s... ' "$title"
    local started=$SECONDS
    if "$@" >> "$log" 2>&1; then
      echo "ok ($((SECONDS - started)) s)"
    else
      echo "FAILED"
      echo "----- $log -----" >&2
      cat "$log" >&2
      exit 1
    fi
  else
    "$@"
  fi
}

missing=()
while read -r pkg; do
  [[ -z "$pkg" || "$pkg" == \#* ]] && continue
  if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$pkg")
  fi
done < "$top/packages.txt"

install_missing() {
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

if ((${#missing[@]})); then
  if [[ $(id -u) -eq 0 ]]; then
    step "Installing ${#missing[@]} Debian packages (${missing[*]})" install_missing
  else
    echo "Missing Debian packages. Run as root (or through sudo), then run this again:" >&2
    echo "  apt-get update" >&2
    echo "  apt-get install -y ${missing[*]}" >&2
    exit 1
  fi
elif ((quiet)); then
  echo "Debian packages... all installed"
fi

jobs=$(nproc 2>/dev/null || echo 2)
# A new build folder is built by Ninja, which starts a library's sources while the library
# below it is still being compiled; a folder already configured keeps its generator.
generator=()
if [[ ! -f "$build/CMakeCache.txt" ]] && command -v ninja > /dev/null; then
  generator=(-G Ninja)
fi
step "Configuring in $build" cmake -S "$top" -B "$build" "${generator[@]}" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo
if ((${#targets[@]})); then
  step "Building ${targets[*]} with $jobs jobs" \
    cmake --build "$build" --parallel "$jobs" --target "${targets[@]}"
else
  step "Building everything with $jobs jobs" cmake --build "$build" --parallel "$jobs"
fi
