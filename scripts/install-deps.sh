#!/usr/bin/env bash
# Installs, on a Debian machine, what one command needs and nothing more:
#   bash scripts/install-deps.sh native     the native build and the main job: a C++ compiler,
#                                           CMake, Ninja, Python (the resource generator)
#   bash scripts/install-deps.sh release    native, plus mingw-w64 (i686): the release zip
#   bash scripts/install-deps.sh windows    release, plus Wine: the main job under Wine
#   bash scripts/install-deps.sh bench      native, plus what the benchmarks measure against
#   bash scripts/install-deps.sh test       everything the test command runs
# Several groups may be named. Run as root (or with sudo available).
#
# The package registry is not always whole: one index may fail to download while a mirror
# syncs. `apt-get update` is retried, and when an index still fails the install goes on with
# the lists it has; the install of what is needed decides. Wine needs the i386 architecture,
# whose lists must agree with amd64's on every shared library's version; when they do not
# (an i386 security index missing), the Wine install is tried again with the security suite
# pinned below the main one, so both architectures resolve from the same release.
#
# With NIMBUS_WINE_OPTIONAL=FILE, a failure to install Wine does not stop the script: the
# reason is written to FILE (the test command then runs every other suite and reports the
# Windows suite under Wine as not run). Every other failure stops the script, naming what
# could not be installed.
set -euo pipefail

groups=("$@")
((${#groups[@]})) || groups=(test)

native_packages=(cmake ninja-build g++ python3)
test_packages=(
  pkg-config libgtest-dev libgmock-dev googletest
  libgif-dev
  clang-format curl chromium tzdata python3-pil
  clang libclang-rt-14-dev
)
# The package DLL links with the win32-thread-model driver (g++-mingw-w64-i686-win32), the
# rest of the Windows build with the posix-model one.
mingw_packages=(g++-mingw-w64-i686 g++-mingw-w64-i686-win32 g++-mingw-w64-i686-posix
                mingw-w64-i686-dev binutils-mingw-w64-i686)
wine_packages=(wine wine32)
bench_packages=(libbenchmark-dev libgif-dev curl apache2-utils)

wanted=("${native_packages[@]}")
want_wine=0
for group in "${groups[@]}"; do
  case "$group" in
    native) ;;
    release) wanted+=("${mingw_packages[@]}") ;;
    windows) wanted+=("${mingw_packages[@]}"); want_wine=1 ;;
    bench) wanted+=("${bench_packages[@]}") ;;
    test) wanted+=("${test_packages[@]}" "${mingw_packages[@]}" "${bench_packages[@]}"); want_wine=1 ;;
    *) echo "install-deps.sh: unknown group '$group' (native, release, windows, bench, test)" >&2; exit 2 ;;
  esac
done

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }
missing_of() {
  local p
  for p in "$@"; do installed "$p" || echo "$p"; done
}

updated=0
# apt-get update, retried; an index that still fails is left to the install to judge.
update_lists() {
  ((updated)) && return 0
  updated=1
  local attempt log
  log=$(mktemp)
  for attempt in 1 2 3; do
    # apt-get update exits 0 on some failed indexes and 100 on others; "^E:" marks both.
    if $SUDO apt-get update -qq >"$log" 2>&1 && ! grep -q '^E:' "$log"; then
      rm -f "$log"
      return 0
    fi
    echo "apt-get update, attempt $attempt: some package lists failed:" >&2
    grep -E '^(E|W):' "$log" | head -5 | sed 's/^/  /' >&2 || true
    sleep $((attempt * 2))
  done
  rm -f "$log"
  echo "apt-get update: going on with the lists that did download" >&2
}

install_or_fail() {
  local log
  log=$(mktemp)
  echo "Installing: $*"
  if ! $SUDO apt-get install -y -qq --no-install-recommends "$@" >"$log" 2>&1; then
    cat "$log" >&2
    rm -f "$log"
    echo "install-deps.sh: could not install: $*" >&2
    exit 1
  fi
  rm -f "$log"
}

mapfile -t missing < <(missing_of "${wanted[@]}" | sort -u)
if ((${#missing[@]})); then
  update_lists
  install_or_fail "${missing[@]}"
fi

((want_wine)) || exit 0
mapfile -t missing < <(missing_of "${wine_packages[@]}")
((${#missing[@]})) || exit 0

# wine32 is an i386 package.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
  updated=0
fi
update_lists

wine_log=$(mktemp)
echo "Installing: ${missing[*]}"
if ! $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >"$wine_log" 2>&1; then
  # The security suite's lists for one architecture may lag the other's: pin that suite below
  # the main one for this install only, so amd64 and i386 take the same versions.
  pin=/etc/apt/preferences.d/nimbus-wine-same-release
  echo "Wine did not install from the current lists; trying again with the security suite pinned below the main one"
  printf 'Package: *\nPin: release l=Debian-Security\nPin-Priority: 100\n' | $SUDO tee "$pin" >/dev/null
  if $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >"$wine_log" 2>&1; then
    $SUDO rm -f "$pin"
  else
    $SUDO rm -f "$pin"
    reason="$(grep -E '^(E:| [^ ].*: Depends)' "$wine_log" | head -3 | tr '\n' ' ')"
    reason="could not install ${missing[*]} from the package registry: ${reason:-see the output of apt-get}"
    if [ -n "${NIMBUS_WINE_OPTIONAL:-}" ]; then
      mkdir -p "$(dirname "$NIMBUS_WINE_OPTIONAL")"
      echo "$reason" >"$NIMBUS_WINE_OPTIONAL"
      echo "install-deps.sh: $reason" >&2
      rm -f "$wine_log"
      exit 0
    fi
    cat "$wine_log" >&2
    rm -f "$wine_log"
    echo "install-deps.sh: $reason" >&2
    exit 1
  fi
fi
rm -f "$wine_log"
