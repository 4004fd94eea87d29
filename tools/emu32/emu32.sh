#!/bin/bash
# The emulated 32-bit PC of ./mcr test32. This machine cannot execute 32-bit
# code; a full-system emulator can (QEMU without KVM, its CPU's 32-bit mode),
# and a Debian root inside it runs 32-bit Wine.
#
#   emu32.sh image              make the cached image when it is missing or
#                               its recipe changed; print its folder
#   emu32.sh boot PAYLOAD LOG   boot the image (left untouched) with the
#                               folder PAYLOAD as its second drive, which
#                               holds run.sh; PAYLOAD/out receives what the
#                               guest wrote there
#
# The image lives in $MCR_EMU32_CACHE (default ~/.cache/mcrpak/emu32), in a
# folder named after a digest of its recipe (recipe_key below), outside
# every build folder. Only amd64 packages are installed on this machine
# (qemu-system-x86, mmdebstrap); the i386 ones go into the image's root,
# never here: 32-bit Wine on this machine breaks its Wine.
set -euo pipefail
HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
CACHE=${MCR_EMU32_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/mcrpak/emu32}
# Above the payload's own time limits: a guest that hangs is stopped.
BOOT_LIMIT=${MCR_EMU32_LIMIT:-5400}

say() { printf '== %s\n' "$*" >&2; }

host_packages() {
  local need=() p
  for p in qemu-system-x86 mmdebstrap e2fsprogs; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || need+=("$p")
  done
  ((${#need[@]})) || return 0
  say "installing: ${need[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
}

# What the image is made of: its packages, how its root is made, its init
# and the prefix recipe. Nothing else of this script goes into it.
recipe_key() {
  { cat "$HERE/packages.txt" "$HERE/init" "$HERE/prefix.sh"; declare -f make_root; } | sha256sum | cut -c1-16
}

# The Debian archive's own entries of this machine's apt sources, which
# mmdebstrap takes as they are.
apt_sources() {
  local f
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.sources /etc/apt/sources.list.d/*.list; do
    [[ -s $f ]] && grep -qE '^[^#]*(debian-archive-keyring|/debian(-security)?/?( |$))' "$f" && echo "$f"
  done
  return 0
}

# The root folder: amd64 with i386 beside it, a kernel and its initramfs
# (made in the chroot, natively: the root is amd64), the Japanese locale.
make_root() {
  local root=$1 sources packages
  mapfile -t sources < <(apt_sources)
  ((${#sources[@]})) || { echo "emu32: no Debian apt source under /etc/apt" >&2; return 1; }
  packages=$(grep -v '^#' "$HERE/packages.txt" | tr -s ' \n' ',' | sed 's/^,//; s/,$//')
  mmdebstrap --quiet --variant=apt --architectures=amd64,i386 --include="$packages" \
    --dpkgopt='path-exclude=/usr/share/man/*' --dpkgopt='path-exclude=/usr/share/doc/*' \
    --dpkgopt='path-include=/usr/share/doc/*/copyright' \
    --dpkgopt='path-exclude=/usr/share/locale/*' --dpkgopt='path-include=/usr/share/locale/locale.alias' \
    --customize-hook='chroot "$1" localedef -i ja_JP -f UTF-8 ja_JP.UTF-8' \
    --customize-hook='echo emu32 > "$1/etc/hostname"' \
    --customize-hook="install -m 755 '$HERE/init' \"\$1/sbin/mcr-init\"" \
    --customize-hook="install -D -m 755 '$HERE/prefix.sh' \"\$1/usr/local/lib/mcr/prefix.sh\"" \
    --customize-hook='rm -f "$1"/var/cache/apt/*.bin "$1"/var/lib/apt/lists/*_Packages' \
    bookworm "$root" "${sources[@]}"
}

# An ext4 drive made from a folder, without mounting anything. Quiet as it
# is, mkfs still notes a new file on standard output, where image's output
# is the image's path; its errors go to standard error.
make_drive() {  # FOLDER IMAGE MIB
  rm -f "$2"
  mkfs.ext4 -q -F -E root_owner=0:0 -d "$1" "$2" "$3M" >/dev/null
}

# The root drive with snapshot=on takes the guest's writes in a temporary
# file and leaves the image as it was; the payload drive keeps them.
qemu() {  # DIR PAYLOAD_IMAGE RUN LOG SNAPSHOT(on|off)
  local dir=$1 payload=$2 run=$3 log=$4 snapshot=$5 status start
  start=$(date +%s)
  set +e
  timeout -k 20 "$BOOT_LIMIT" qemu-system-x86_64 -accel tcg,thread=multi -smp 2 -m 4G -cpu max,smap=off \
    -display none -serial stdio -monitor none -no-reboot -nic none \
    -kernel "$dir/vmlinuz" -initrd "$dir/initrd.img" \
    -append "console=ttyS0 root=/dev/vda rw init=/sbin/mcr-init panic=1 mitigations=off quiet mcr_run=$run" \
    -drive file="$dir/root.img",format=raw,if=virtio,snapshot="$snapshot" \
    -drive file="$payload",format=raw,if=virtio </dev/null 2>&1 |
    while IFS= read -r line; do printf '[%4ds] %s\n' $(($(date +%s) - start)) "${line%$'\r'}"; done > "$log"
  status=${PIPESTATUS[0]}
  set -e
  ((status == 124)) && echo "emu32: the guest was stopped after $BOOT_LIMIT s" >> "$log"
  return 0
}

# The guest's writes to its second drive, read back without mounting it.
read_back() {  # PAYLOAD_IMAGE FOLDER
  rm -rf "$2"; mkdir -p "$2"
  debugfs -R "rdump /out $2" "$1" >/dev/null 2>&1 || true
  [[ -d $2/out ]] && { mv "$2"/out/* "$2"/ 2>/dev/null || true; rmdir "$2/out"; }
  return 0
}

image() {
  host_packages
  local key dir tmp t0 t1 t2 t3
  key=$(recipe_key)
  dir=$CACHE/$key
  if [[ -f $dir/ready ]]; then
    echo "$dir"
    return 0
  fi
  say "making the emulated PC's image (once; about 20 minutes) in $dir"
  mkdir -p "$CACHE"
  # Images of older recipes go: each is a few GiB.
  find "$CACHE" -mindepth 1 -maxdepth 1 -type d ! -name "$key" -exec rm -rf {} +
  tmp=$dir.making
  rm -rf "$tmp"; mkdir -p "$tmp"
  t0=$(date +%s)
  make_root "$tmp/root" >&2
  cp "$(ls "$tmp"/root/boot/vmlinuz-* | sort -V | tail -1)" "$tmp/vmlinuz"
  cp "$(ls "$tmp"/root/boot/initrd.img-* | sort -V | tail -1)" "$tmp/initrd.img"
  t1=$(date +%s)
  local used
  used=$(du -sxm "$tmp/root" | cut -f1)
  make_drive "$tmp/root" "$tmp/root.img" $((used + used / 10 + 1536))
  rm -rf "$tmp/root"
  mkdir -p "$tmp/empty"
  make_drive "$tmp/empty" "$tmp/prefix.img" 16
  t2=$(date +%s)
  qemu "$tmp" "$tmp/prefix.img" prefix "$tmp/prefix.log" off
  read_back "$tmp/prefix.img" "$tmp/prefix-out"
  t3=$(date +%s)
  if [[ ! -f $tmp/prefix-out/prefix.ok ]]; then
    cat "$tmp/prefix.log" >&2
    echo "emu32: the Wine prefix was not made (the guest's log is above; $tmp kept)" >&2
    return 1
  fi
  rm -rf "$tmp/empty" "$tmp/prefix.img"
  printf 'root folder %d s, image %d s, prefix %d s (%s), %d MiB on disk\n' $((t1 - t0)) $((t2 - t1)) $((t3 - t2)) \
    "$(cat "$tmp/prefix-out/prefix.ok")" "$(du -sm "$tmp" | cut -f1)" > "$tmp/made.txt"
  touch "$tmp/ready"
  rm -rf "$dir"; mv "$tmp" "$dir"
  say "image made: $(cat "$dir/made.txt")"
  echo "$dir"
}

boot() {  # PAYLOAD LOG
  local dir payload=$1 log=$2 mib
  dir=$(image)
  mib=$(du -sm "$payload" | cut -f1)
  # The x86_64 suites' win64 prefixes (about 1.4 GiB with their twin) go on
  # this drive: the root drive has room for the win32 ones only. The image
  # file is sparse, so room not written costs nothing here.
  [[ -d $payload/bin64 ]] && mib=$((mib + 1536))
  make_drive "$payload" "$payload.img" $((mib * 2 + 256))
  # The prefix the guest boots with is the one made with the image, every time.
  qemu "$dir" "$payload.img" payload "$log" on
  read_back "$payload.img" "$payload.out"
  rm -f "$payload.img"
}

case ${1:-} in
  image) image ;;
  boot) boot "${2:?payload folder}" "${3:?log file}" ;;
  *) sed -n '2,20p' "$0" | sed 's/^# \{0,1\}//'; exit 2 ;;
esac
