#!/bin/bash
# Runs once inside the emulated PC when its image is made (the image is then
# kept): the win32 Wine prefix the 32-bit tests run in, made as ./mcr makes
# the test prefix (null display driver, code page 932 from LC_ALL, no crash
# dialog, plain folders for the profile's links into the Linux home) and
# set to Windows XP, the workstation's Windows.
set -u
export WINEPREFIX=/root/w32 WINEARCH=win32 WINEDEBUG=-all LC_ALL=ja_JP.UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml=,winemenubuilder.exe=d"
start=$(cut -d' ' -f1 /proc/uptime)
echo "emu32: $(uname -srm), $(nproc) CPUs, $(wine --version)"
rm -rf "$WINEPREFIX"
wineboot -i && wineserver -w || { echo "emu32: wineboot failed"; exit 1; }
wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f &&
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f &&
wine winecfg -v winxp && wineserver -w || { echo "emu32: the prefix's settings failed"; exit 1; }
for link in "$WINEPREFIX"/drive_c/users/*/*; do
  [[ -L $link ]] && rm "$link" && mkdir "$link"
done
cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null
version=$(wine reg query 'HKLM\Software\Microsoft\Windows NT\CurrentVersion' /v ProductName 2>/dev/null |
          tr -d '\r' | sed -n 's/.*REG_SZ *//p')
wineserver -w
awk -v a="$start" -v b="$(cut -d' ' -f1 /proc/uptime)" -v v="$version" 'BEGIN { printf "emu32: prefix ready (%s) in %d s\n", v, b - a }'
echo "$version" > /emu/out/prefix.ok
