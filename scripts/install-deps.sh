#!/usr/bin/env bash
# Installs, on a Debian machine, what one command needs and nothing more:
#   bash scripts/install-deps.sh native     the native build and the main job: a C++ compiler,
#                                           CMake, Ninja, Python (the resource generator)
#   bash scripts/install-deps.sh release    native, plus mingw-w64 (i686): the release zip
#   bash scripts/install-deps.sh windows    release, plus Wine: the main job under Wine
#   bash scripts/install-deps.sh bench      native, plus what the benchmarks measure against and
#                                           count instructions with (valgrind, qemu-user), plus
#                                           the 32-bit x86 build of the GIF, text and queue
#                                           benchmarks (gcc-multilib, giflib and Google Benchmark
#                                           for i386)
#   bash scripts/install-deps.sh test       everything the test command runs, the servers the
#                                           protocol recipes are tested against included
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
# Windows suite under Wine as not run). NIMBUS_BENCH32_OPTIONAL=FILE does the same for the
# i386 packages of the 32-bit benchmark build. Every other failure stops the script, naming
# what could not be installed.
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
# The servers the recipes test starts by itself, on 127.0.0.1 with its own configurations.
# Their packages would start (and, under systemd, enable) system daemons on ports 80, 21, 25
# and 110; they are installed with daemons kept from starting and left disabled.
server_packages=(nginx vsftpd opensmtpd dovecot-pop3d dnsmasq-base)
server_services=(nginx vsftpd opensmtpd dovecot)
wine_packages=(wine wine32)
bench_packages=(libbenchmark-dev libgif-dev curl apache2-utils)
bench_counting_packages=(valgrind qemu-user)
bench32_packages=(gcc-multilib g++-multilib libgif-dev:i386 libbenchmark-dev:i386)

wanted=("${native_packages[@]}")
want_wine=0
want_servers=0
want_bench32=0
for group in "${groups[@]}"; do
  case "$group" in
    native) ;;
    release) wanted+=("${mingw_packages[@]}") ;;
    windows) wanted+=("${mingw_packages[@]}"); want_wine=1 ;;
    bench) wanted+=("${bench_packages[@]}" "${bench_counting_packages[@]}"); want_bench32=1 ;;
    test) wanted+=("${test_packages[@]}" "${mingw_packages[@]}" "${bench_packages[@]}"); want_wine=1; want_servers=1 ;;
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

# The first lines that say why an install failed. apt-get's resolver may say only "generated
# breaks": a simulated install names the packages that could not be had.
why_not_installable() {
  local log="$1"
  shift
  {
    grep -E '^E:' "$log" || true
    $SUDO apt-get install -s --no-install-recommends "$@" 2>&1 |
      grep -E "Depends:|installation candidate|Unable to locate" || true
  } | sed 's/^ *//' | head -3 | tr '\n' ' '
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

# The test servers. OpenSMTPD would replace a mail server the machine already has (they all
# provide mail-transport-agent): that is refused rather than done.
install_servers() {
  local missing_servers other_mta policy=/usr/sbin/policy-rc.d made_policy=0 service
  mapfile -t missing_servers < <(missing_of "${server_packages[@]}")
  ((${#missing_servers[@]})) || return 0
  if ! installed opensmtpd; then
    other_mta=$(dpkg-query -W -f='${db:Status-Abbrev} ${Package} ${Provides}\n' 2>/dev/null |
      awk '$1 ~ /^ii/ && /mail-transport-agent/ {print $2}' | head -1)
    if [ -n "$other_mta" ]; then
      echo "install-deps.sh: could not install: opensmtpd (it would replace this machine's" \
        "mail server, $other_mta; the recipes test needs OpenSMTPD)" >&2
      exit 1
    fi
  fi
  update_lists
  # invoke-rc.d and deb-systemd-invoke ask policy-rc.d: 101 keeps every daemon from starting.
  if [ ! -e "$policy" ]; then
    printf '#!/bin/sh\nexit 101\n' | $SUDO tee "$policy" >/dev/null
    $SUDO chmod 755 "$policy"
    made_policy=1
  fi
  if ! (install_or_fail "${missing_servers[@]}"); then
    ((made_policy)) && $SUDO rm -f "$policy"
    exit 1
  fi
  ((made_policy)) && $SUDO rm -f "$policy"
  if [ -d /run/systemd/system ]; then
    for service in "${server_services[@]}"; do
      $SUDO systemctl disable --now "$service" >/dev/null 2>&1 || true
    done
  fi
}
((want_servers)) && install_servers

# Installs i386 packages. The security suite's lists for one architecture may lag the other's
# (an index missing while a mirror syncs), and multi-arch libraries must have the same version
# in both: when the install fails, it is tried once more with that suite pinned below the main
# one, so amd64 and i386 take the same release. On failure it prints why and returns 1.
install_i386() {
  local log pin=/etc/apt/preferences.d/nimbus-i386-same-release status=0
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
    updated=0
  fi
  update_lists
  log=$(mktemp)
  echo "Installing: $*" >&2
  if ! $SUDO apt-get install -y -qq --no-install-recommends "$@" >"$log" 2>&1; then
    echo "Not installed from the current lists; trying again with the security suite pinned below the main one" >&2
    printf 'Package: *\nPin: release l=Debian-Security\nPin-Priority: 100\n' | $SUDO tee "$pin" >/dev/null
    if ! $SUDO apt-get install -y -qq --no-install-recommends "$@" >"$log" 2>&1; then
      status=1
      reason="$(why_not_installable "$log" "$@")"
      echo "could not install $* from the package registry: ${reason:-see the output of apt-get}"
    fi
    $SUDO rm -f "$pin"
  fi
  rm -f "$log"
  return $status
}

# An optional install's failure: written to the file the caller named, or fatal.
optional_failed() {
  local file="$1" reason="$2"
  echo "install-deps.sh: $reason" >&2
  if [ -z "$file" ]; then
    exit 1
  fi
  mkdir -p "$(dirname "$file")"
  echo "$reason" >"$file"
}

# The 32-bit benchmark build's i386 packages.
if ((want_bench32)); then
  mapfile -t missing < <(missing_of "${bench32_packages[@]}")
  if ((${#missing[@]})) && ! reason=$(install_i386 "${missing[@]}"); then
    optional_failed "${NIMBUS_BENCH32_OPTIONAL:-}" "$reason"
  fi
fi

if ((want_wine)); then
  mapfile -t missing < <(missing_of "${wine_packages[@]}")
  if ((${#missing[@]})) && ! reason=$(install_i386 "${missing[@]}"); then
    optional_failed "${NIMBUS_WINE_OPTIONAL:-}" "$reason"
  fi
fi
exit 0
