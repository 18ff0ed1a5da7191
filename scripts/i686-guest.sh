#!/usr/bin/env bash
# Runs 32-bit Windows programs (the i686 build) under wine32. This machine
# refuses 32-bit code, so they run in a whole emulated x86_64 computer instead:
# qemu-system-x86_64 (TCG, no KVM here) booting a small Debian 12 guest that has
# wine32:i386, Xvfb and a ready 32-bit Wine prefix.
#
# Usage (as root):
#   i686-guest.sh build              builds the guest once (a few minutes) and
#                                    caches it in /var/cache/pixtagger-guest
#   i686-guest.sh run DIR COMMAND... boots the guest (building it first when
#                                    missing), shares DIR read-write at the same
#                                    absolute path, runs COMMAND (one shell
#                                    command line) there and powers off
#
# `run` prints the command's output and exits with its status. Inside, the
# command runs as root under Xvfb (DISPLAY set) with LC_ALL=ja_JP.UTF-8 (Wine's
# ANSI code page then is 932), WINEDEBUG=-all and WINEPREFIX set to the 32-bit
# prefix made at build time (/var/lib/pixtagger-guest/prefix). Every run starts
# from the pristine image (snapshot=on): only what is written under DIR survives.
#
# Environment:
#   PIXTAGGER_GUEST_TIMEOUT        seconds a run may take, boot included
#                                  (default 1200); then qemu is killed, exit 124
#   PIXTAGGER_GUEST_BUILD_TIMEOUT  seconds the image build may take (default 3600)
#
# Exit statuses of `run` besides the command's own: 124 timeout, 125 the guest
# failed before or around the command (the console log is kept and named).
# To rebuild from scratch, remove /var/cache/pixtagger-guest.
set -euo pipefail
# shellcheck source=debian-archive.sh
. "$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")/debian-archive.sh"

readonly CACHE=/var/cache/pixtagger-guest
# Bump when the guest's contents or its init change, so that caches built by an
# older version of this script are rebuilt instead of trusted.
readonly LAYOUT=1
readonly SUITE=bookworm
readonly GUEST_INIT=/usr/local/sbin/pixtagger-init
readonly FREE_MB=1300   # room left in the image for the prefix and the runs

say() { echo "i686-guest: $*" >&2; }
die() { say "$*"; exit 1; }

# Microseconds since the epoch into variable $1, without forking (bash 5).
now_us() { printf -v "$1" '%s' "${EPOCHREALTIME/[.,]/}"; }
span() { printf '%d.%d s' $((($2 - $1) / 1000000)) $((($2 - $1) / 100000 % 10)); } # FROM_US TO_US
seconds_since() { # FROM_US
  local now
  now_us now
  span "$1" "$now"
}
# True while process $1 runs (a zombie does not count).
alive() {
  local state
  { read -r _ _ state _ <"/proc/$1/stat"; } 2>/dev/null || return 1
  [ "$state" != Z ]
}

# A cache is trusted only when it is complete and made by this layout.
cache_ready() {
  [ "$(cat "$1/complete" 2>/dev/null)" = "$LAYOUT" ] &&
    [ -s "$1/vmlinuz" ] && [ -s "$1/initrd.img" ] && [ -s "$1/disk.img" ]
}

# Unmounts everything below DIR (a killed build can leave its chroot mounts),
# then removes it without ever crossing into another file system.
remove_tree() {
  local dir=$1 m
  [ -e "$dir" ] || return 0
  while read -r m; do
    umount -l "$m" 2>/dev/null || true
  done < <(awk -v d="$dir/" 'index($2, d) == 1 { print $2 }' /proc/self/mounts | sort -r)
  rm -rf --one-file-system "$dir"
}

# --- the guest's PID 1 --------------------------------------------------------

# Written into the image. It reads its orders from the 9p share "ctl" (a fresh
# host folder per boot): env (WORKDIR, shell-quoted) and command; it writes
# output (the command's stdout+stderr), started, status, and error when it could
# not run the command at all.
write_guest_init() {
  cat >"$1" <<'INIT'
#!/bin/bash
# PID 1 of the pixtagger guest, written by scripts/i686-guest.sh. Runs the one
# command that the host left in the 9p share "ctl", reports its status there and
# powers off. Must never return: PID 1 exiting panics the kernel (which, with
# panic=-1 and qemu's -no-reboot, still ends the run, only without a status).
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
ctl=/run/ctl
nine_p=trans=virtio,version=9p2000.L,msize=262144

power_off() {
  kill -TERM -1 2>/dev/null; sleep 0.3; kill -KILL -1 2>/dev/null
  sync
  [ -n "${WORKDIR:-}" ] && umount "$WORKDIR" 2>/dev/null
  [ -n "${1:-}" ] && echo "$1" >"$ctl/status"
  umount "$ctl" 2>/dev/null
  mount -o remount,ro / 2>/dev/null
  sync
  echo o >/proc/sysrq-trigger
  sleep 60
}
# Milestones go to the serial console, which the host keeps when a run fails.
log() { echo "pixtagger-init: $*" >/dev/console; }
fail() {
  log "$*"
  mountpoint -q "$ctl" && echo "$*" >"$ctl/error"
  power_off
}

mountpoint -q /proc || mount -t proc proc /proc
mountpoint -q /sys || mount -t sysfs sysfs /sys
mountpoint -q /dev || mount -t devtmpfs devtmpfs /dev
mkdir -p /dev/pts /dev/shm
mount -t devpts -o gid=5,mode=620,ptmxmode=666 devpts /dev/pts
mount -t tmpfs -o mode=1777 tmpfs /dev/shm
mount -t tmpfs -o mode=755 tmpfs /run
mount -t tmpfs -o mode=1777 tmpfs /tmp
hostname pixtagger-guest

modprobe -a 9pnet_virtio 9p 2>/dev/null
mkdir -p "$ctl"
mount -t 9p -o "$nine_p" ctl "$ctl" || fail "cannot mount the ctl share"
. "$ctl/env" || fail "cannot read $ctl/env"
if [ -n "${WORKDIR:-}" ]; then
  # cache=loose: with cache=none or mmap Wine maps image files wrongly and
  # 32-bit programs crash at random first instructions.
  mkdir -p "$WORKDIR" &&
    mount -t 9p -o "$nine_p,cache=loose" work "$WORKDIR" || fail "cannot mount $WORKDIR"
fi

Xvfb :0 -screen 0 1280x1024x24 -nolisten tcp -noreset >/run/xvfb.log 2>&1 &
for _ in $(seq 150); do
  [ -S /tmp/.X11-unix/X0 ] && break
  sleep 0.1
done
[ -S /tmp/.X11-unix/X0 ] || fail "Xvfb did not start: $(tail -n 3 /run/xvfb.log | tr '\n' ' ')"

log "running the command in ${WORKDIR:-/root}"
: >"$ctl/started"
cd "${WORKDIR:-/root}" || fail "cannot enter $WORKDIR"
env -i HOME=/root USER=root LOGNAME=root TERM=dumb PATH="$PATH" \
  LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8 DISPLAY=:0 \
  WINEPREFIX=/var/lib/pixtagger-guest/prefix WINEARCH=win32 WINEDEBUG=-all \
  bash "$ctl/command" </dev/null >>"$ctl/output" 2>&1
status=$?
log "the command exited with $status"
power_off "$status"
INIT
  chmod 755 "$1"
}

# --- booting ------------------------------------------------------------------

# boot_guest GUEST_DIR SNAPSHOT WORKDIR COMMAND LIMIT
# Boots the guest in GUEST_DIR (vmlinuz, initrd.img, disk.img) once, runs
# COMMAND in WORKDIR (shared by 9p; "" for none), streams its output to stdout
# and returns its exit status. SNAPSHOT=off keeps the disk's changes (used by
# the build). Prints the timing lines; on failure a one-line reason.
boot_guest() {
  local guest=$1 snapshot=$2 workdir=$3 command=$4 limit=$5
  local start booted="" finished="" now rc=0 status="" reason="" timed_out=0 log

  ctl=$(mktemp -d /tmp/pixtagger-guest.XXXXXX)
  printf 'WORKDIR=%q\n' "$workdir" >"$ctl/env"
  printf '%s\n' "$command" >"$ctl/command"
  : >"$ctl/output"

  # QEMU's option syntax doubles a comma inside a value.
  # shellcheck disable=SC2054 # the commas belong to QEMU's options
  local args=(
    # One host thread for both virtual CPUs: with a thread each, a 32-bit
    # program under heavy atomics (lock cmpxchg8b) now and then got a
    # spurious single-step exception.
    qemu-system-x86_64 -nodefaults -no-user-config -machine pc -accel tcg,thread=single
    -cpu max,-smap # with SMAP, QEMU 7.2 kills every 32-bit process
    -smp 2 -m 3G -display none -monitor none -no-reboot
    -serial "file:${ctl//,/,,}/console.log"
    -kernel "${guest//,/,,}/vmlinuz" -initrd "${guest//,/,,}/initrd.img"
    -append "console=ttyS0 root=/dev/vda rootfstype=ext4 rw init=$GUEST_INIT panic=-1 quiet"
    -drive "file=${guest//,/,,}/disk.img,format=raw,if=virtio,snapshot=$snapshot"
    -fsdev "local,id=ctl,path=${ctl//,/,,},security_model=none"
    -device virtio-9p-pci,fsdev=ctl,mount_tag=ctl
  )
  if [ -n "$workdir" ]; then
    # shellcheck disable=SC2054
    args+=(-fsdev "local,id=work,path=${workdir//,/,,},security_model=passthrough,multidevs=remap"
      -device virtio-9p-pci,fsdev=work,mount_tag=work)
  fi

  now_us start
  "${args[@]}" </dev/null >"$ctl/qemu.log" 2>&1 &
  qemu_pid=$!
  tail -c +1 -s 0.2 -f --pid="$qemu_pid" "$ctl/output" &
  tail_pid=$!

  # Poll rather than wait, to notice the guest's markers and the time limit.
  while alive "$qemu_pid"; do
    now_us now
    [ -z "$booted" ] && [ -e "$ctl/started" ] && booted=$now
    [ -z "$finished" ] && [ -e "$ctl/status" ] && finished=$now
    if ((now - start >= limit * 1000000)); then
      reason="the guest run timed out after $limit s; qemu killed"
      timed_out=1
      kill -TERM "$qemu_pid" 2>/dev/null || true
      sleep 2
      kill -KILL "$qemu_pid" 2>/dev/null || true
      break
    fi
    sleep 0.1
  done
  wait "$qemu_pid" || rc=$?
  qemu_pid=""
  wait "$tail_pid" || true
  tail_pid=""
  [ -z "$booted" ] && [ -e "$ctl/started" ] && now_us booted
  [ -z "$finished" ] && [ -e "$ctl/status" ] && now_us finished

  [ -n "$booted" ] && say "boot to command: $(span "$start" "$booted")"
  [ -n "$booted" ] && [ -n "$finished" ] &&
    say "command: $(span "$booted" "$finished"), whole run $(seconds_since "$start")"

  status=$(cat "$ctl/status" 2>/dev/null || true)
  if [ -z "$reason" ]; then
    if [ -s "$ctl/error" ]; then
      reason="guest: $(head -n 1 "$ctl/error")"
    elif ! [[ "$status" =~ ^[0-9]+$ ]]; then
      reason="the guest stopped without reporting a status (qemu exit $rc)"
      [ -s "$ctl/qemu.log" ] && reason+=": $(tail -n 1 "$ctl/qemu.log")"
    fi
  fi
  if [ -n "$reason" ]; then
    log=$(mktemp /tmp/pixtagger-guest-console.XXXXXX.log)
    cat "$ctl/qemu.log" "$ctl/console.log" >"$log" 2>/dev/null || true
    say "$reason; console log: $log"
    rm -rf "$ctl"
    ctl=""
    [ "$timed_out" -eq 1 ] && return 124
    return 125
  fi
  rm -rf "$ctl"
  ctl=""
  return "$status"
}

# Ends what boot_guest started when the script is interrupted.
stop_guest() {
  [ -n "${qemu_pid:-}" ] && kill -KILL "$qemu_pid" 2>/dev/null
  [ -n "${tail_pid:-}" ] && kill "$tail_pid" 2>/dev/null
  [ -n "${ctl:-}" ] && rm -rf "$ctl"
  return 0
}

# --- building -----------------------------------------------------------------

# Commands run in the guest's first boot, which keeps its changes: 32-bit code
# runs only there, so this is where the 32-bit prefix can be made.
# shellcheck disable=SC2016 # expanded by the guest's shell
readonly SETUP_COMMAND='set -e
mkdir -p "$(dirname "$WINEPREFIX")"
wine wineboot --init
wine reg add "HKCU\\Software\\Wine\\X11 Driver" /v Managed /t REG_SZ /d N /f
wine reg add "HKCU\\Software\\Wine\\X11 Driver" /v Decorated /t REG_SZ /d N /f
wineserver -w
grep -q "\"Decorated\"=\"N\"" "$WINEPREFIX/user.reg"
grep -q "#arch=win32" "$WINEPREFIX/system.reg"
echo "prefix: $(du -sh "$WINEPREFIX" | cut -f1)"
df -h / | tail -n 1 | awk "{ print \"free in the image: \" \$4 }"'

build_now() {
  local limit=$1 mirror security work root log kver size_mb used_mb start
  exec 9>"$CACHE.lock"
  flock -w "$limit" 9 || die "another build holds $CACHE.lock"
  cache_ready "$CACHE" && return 0
  now_us start

  mirror=$(archive_for "$SUITE")
  [ -n "$mirror" ] || die "no Debian archive for $SUITE in /etc/apt/sources.list or /etc/apt/sources.list.d"
  security=$(archive_for "$SUITE-security")

  # Leftovers of a killed build are never trusted: start over.
  local old
  for old in "$CACHE".build.*; do
    [ -d "$old" ] && remove_tree "$old"
  done
  work=$(mktemp -d "$CACHE.build.XXXXXX")
  chmod 755 "$work"
  root=$work/root
  log=$CACHE.build.log
  : >"$log"
  trap 'stop_guest; remove_tree "$work"' EXIT
  trap 'exit 130' INT
  trap 'exit 143' TERM

  say "building the guest in $work (log: $log)"
  say "debootstrap $SUITE from the machine's apt archive"
  debootstrap --variant=minbase --arch=amd64 "$SUITE" "$root" "$mirror" >>"$log" 2>&1 ||
    die "debootstrap failed; see $log"

  {
    echo "deb $mirror $SUITE main"
    echo "deb $mirror $SUITE-updates main"
    [ -n "$security" ] && echo "deb $security $SUITE-security main"
  } >"$root/etc/apt/sources.list"
  echo pixtagger-guest >"$root/etc/hostname"
  printf '127.0.0.1 localhost\n127.0.1.1 pixtagger-guest\n' >"$root/etc/hosts"
  # No service may start inside the chroot.
  printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
  chmod 755 "$root/usr/sbin/policy-rc.d"
  # Linux tools in the guest keep talking English under LC_ALL=ja_JP.UTF-8:
  # no message catalogs (Wine's own texts live in its DLLs and stay).
  echo 'path-exclude=/usr/share/locale/*/LC_MESSAGES/*.mo' >"$root/etc/dpkg/dpkg.cfg.d/pixtagger-guest"
  find "$root/usr/share/locale" -name '*.mo' -delete
  # A small initrd: only what mounts the root disk and the 9p shares (their
  # dependencies follow). Written before the kernel is installed, so that its
  # first initrd is already the small one.
  mkdir -p "$root/etc/initramfs-tools/conf.d" "$root/usr/share/initramfs-tools/modules.d"
  printf 'MODULES=list\nRESUME=none\nCOMPRESS=gzip\n' >"$root/etc/initramfs-tools/conf.d/pixtagger-guest.conf"
  printf '%s\n' virtio_pci virtio_blk ext4 9pnet_virtio 9p >"$root/usr/share/initramfs-tools/modules.d/pixtagger-guest"

  say "installing wine32:i386, Xvfb, fonts and the kernel"
  mount -t proc proc "$root/proc"
  mount -t sysfs sysfs "$root/sys"
  chroot "$root" /bin/sh -ec '
    export DEBIAN_FRONTEND=noninteractive
    dpkg --add-architecture i386
    # An archive mid-sync serves an index that does not match its Release
    # file; try again, and then do without the security archive, whose
    # updates a test guest can spare, rather than fail the whole run.
    for try in 1 2 3; do
      apt-get update -qq 2>/tmp/apt-update.err && break
      cat /tmp/apt-update.err >&2
      if [ "$try" = 3 ]; then
        echo "pixtagger-guest: apt-get update failed three times; going on without the security archive" >&2
        sed -i "/-security/d" /etc/apt/sources.list
        apt-get update -qq
      else
        sleep 10
      fi
    done
    apt-get install -y -q --no-install-recommends \
      wine wine32:i386 xvfb xauth fonts-ipafont-gothic locales linux-image-amd64
    # Wine needs no glibc locale for code page 932, but every shell would
    # warn about a missing one.
    echo "ja_JP.UTF-8 UTF-8" >/etc/locale.gen
    locale-gen
    apt-get clean
    rm -rf /var/lib/apt/lists/*' >>"$log" 2>&1 ||
    die "installing the guest's packages failed; see $log"
  umount "$root/sys" "$root/proc"
  rm -f "$root/usr/sbin/policy-rc.d"
  [ -x "$root/usr/lib/wine/wine" ] || die "wine32 is missing from the guest; see $log"

  local k
  for k in "$root"/lib/modules/*; do kver=${k##*/}; done # there is one
  cp "$root/boot/vmlinuz-$kver" "$work/vmlinuz"
  cp "$root/boot/initrd.img-$kver" "$work/initrd.img"
  write_guest_init "$root$GUEST_INIT"

  # ext4 needs about a tenth more than the files themselves.
  used_mb=$(du -sxm "$root" | cut -f1)
  size_mb=$((used_mb + used_mb / 10 + FREE_MB))
  say "making the disk image (${size_mb} MB, ${used_mb} MB of files)"
  mke2fs -q -t ext4 -m 0 -L pixtagger-guest -d "$root" "$work/disk.img" "${size_mb}M" >>"$log" 2>&1 ||
    die "mke2fs failed; see $log"
  remove_tree "$root"

  say "first boot: creating the 32-bit Wine prefix"
  local rc=0
  boot_guest "$work" off "" "$SETUP_COMMAND" 1800 >>"$log" 2>&1 || rc=$?
  [ "$rc" -eq 0 ] || die "creating the Wine prefix in the guest failed (status $rc); see $log"
  grep -E '^(prefix|free in the image):' "$log" | sed 's/^/i686-guest: /' >&2 || true

  echo "$LAYOUT" >"$work/complete"
  if [ -e "$CACHE" ]; then
    mv "$CACHE" "$CACHE.old.$$"
    remove_tree "$CACHE.old.$$"
  fi
  mv "$work" "$CACHE"
  trap - EXIT
  say "image built in $(seconds_since "$start"): $(du -sh --apparent-size "$CACHE/disk.img" | cut -f1) disk image ($(du -sh "$CACHE/disk.img" | cut -f1) allocated), initrd $(du -sh "$CACHE/initrd.img" | cut -f1)"
}

# Builds when the cache is missing or stale, bounded in time: a killed build
# leaves only a temporary folder that the next build removes.
build() {
  local limit=${PIXTAGGER_GUEST_BUILD_TIMEOUT:-3600} rc=0
  [[ "$limit" =~ ^[1-9][0-9]*$ ]] || die "PIXTAGGER_GUEST_BUILD_TIMEOUT must be a positive number of seconds"
  cache_ready "$CACHE" && return 0
  timeout --kill-after=30 "$limit" bash "$0" build-now "$limit" || rc=$?
  [ "$rc" -eq 124 ] && die "the image build timed out after $limit s (PIXTAGGER_GUEST_BUILD_TIMEOUT)"
  [ "$rc" -eq 0 ] || exit "$rc"
  cache_ready "$CACHE" || die "the image build ended without a complete cache in $CACHE"
}

run() {
  [ $# -ge 2 ] || die "usage: i686-guest.sh run DIR COMMAND..."
  local dir=$1 limit=${PIXTAGGER_GUEST_TIMEOUT:-1200} rc=0
  shift
  [[ "$limit" =~ ^[1-9][0-9]*$ ]] || die "PIXTAGGER_GUEST_TIMEOUT must be a positive number of seconds"
  [ -d "$dir" ] || die "no such folder: $dir"
  dir=$(cd "$dir" && pwd)
  # The guest's own system folders cannot be shadowed, and Wine keeps its
  # sockets in /tmp, which 9p cannot hold.
  case "$dir" in
    / | /tmp | /bin | /boot | /dev | /dev/* | /etc | /etc/* | /lib | /lib64 | /proc | /proc/* | /run | /run/* | \
      /sbin | /sys | /sys/* | /usr | /usr/* | /var | /var/lib | /var/lib/pixtagger-guest*)
      die "cannot share $dir: the guest needs its own" ;;
  esac
  build
  trap stop_guest EXIT
  trap 'exit 130' INT
  trap 'exit 143' TERM
  boot_guest "$CACHE" on "$dir" "$*" "$limit" || rc=$?
  exit "$rc"
}

[ "$(id -u)" -eq 0 ] || die "must run as root (it installs packages and runs chroot)"
case "${1:-}" in
  build)
    install_missing_packages qemu-system-x86 debootstrap e2fsprogs debian-archive-keyring
    build
    say "guest ready in $CACHE"
    ;;
  build-now) build_now "${2:-3600}" ;; # internal: the bounded part of build
  run)
    shift
    install_missing_packages qemu-system-x86 debootstrap e2fsprogs debian-archive-keyring
    run "$@"
    ;;
  *) die "usage: i686-guest.sh build | run DIR COMMAND..." ;;
esac
