# Sourced by the uninstaller's end-to-end tests and by scripts/demo: a sealed Wine prefix on a
# private Xvfb display, run by an unprivileged user, with a simulated installation on its C: drive.
#
#   kv_sandbox_enter WORK_VAR SCRIPT ARGS...   (call first) run as root, re-runs SCRIPT ARGS as uid
#       65534 with a fresh work folder (named in $WORK_VAR) holding bin/ (copies of the programs
#       under test, from $kv_sandbox_bin) and home/; returns only in that child, else exits with
#       its status after deleting the work folder. $kv_sandbox_keep (a folder under the work
#       folder) is copied to $kv_sandbox_keep_to first, for results.
#   kv_sandbox_start_display       Xvfb on a free display; sets DISPLAY
#   kv_sandbox_make_prefix         the sealed prefix in $work/prefix (refuses an unsealed one),
#                                  a persistent wineserver and Wine's services already started;
#                                  sets the layout variables below
#   kv_sandbox_cleanup             stops the prefix's server and Xvfb, deletes the prefix
#
# Layout: C (the prefix's C: drive), user, U (Windows profile path), profile, desktop, programs,
# appdata, temp_bat (the script's name in the user's temporary folder, where it must never be
# written), tool (D:\kv_uitool.exe), uninstall_key.
# Helpers: w, unix_of, set_location, key_exists, snapshot, make_install, start_client, stop_all,
# script_dirs, wait_for_script, lost_outside, pending, registered_outside.

source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/lib/wine-prefix.sh"

kv_sandbox_programs=(uninstall.exe kv_uitool.exe kv_dummy_client.exe)
kv_xvfb_pid=""
pids=()

kv_sandbox_enter() {
  local var=$1 script=$2; shift 2
  if [ -n "${!var:-}" ]; then
    work=${!var}
    return 0
  fi
  local dir status p
  dir=$(mktemp -d /tmp/kv-uninst-sandbox.XXXXXX)
  mkdir -p "$dir/bin" "$dir/home"
  for p in "${kv_sandbox_programs[@]}"; do cp "$kv_sandbox_bin/$p" "$dir/bin/" || exit 1; done
  if [ "$(id -u)" = 0 ]; then
    mkdir -p /tmp/.X11-unix && chmod 1777 /tmp/.X11-unix
    chown -R 65534:65534 "$dir"
    chmod 755 "$dir"
    setpriv --reuid=65534 --regid=65534 --clear-groups \
      env -i PATH="$PATH" HOME="$dir/home" USER=nobody LANG=C.UTF-8 "$var=$dir" \
      ${WINEARCH:+WINEARCH="$WINEARCH"} \
      bash "$script" "$@"
  else
    env HOME="$dir/home" "$var=$dir" bash "$script" "$@"
  fi
  status=$?
  if [ -n "${kv_sandbox_keep:-}" ] && [ -d "$dir/$kv_sandbox_keep" ]; then
    mkdir -p "$kv_sandbox_keep_to"
    cp -r "$dir/$kv_sandbox_keep/." "$kv_sandbox_keep_to/"
  fi
  [ -d "$dir/prefix" ] && WINEPREFIX="$dir/prefix" wineserver -k >/dev/null 2>&1
  rm -rf "$dir"
  exit $status
}

kv_sandbox_start_display() {
  kv_start_xvfb 1024x768x24 "$work" || return 1
  export DISPLAY=":$kv_xvfb_display"
}

kv_sandbox_make_prefix() {
  prefix=$work/prefix
  C=$prefix/drive_c
  kv_make_safe_prefix "$prefix" d "$work/bin" || return 1
  export WINEPREFIX=$prefix WINEDEBUG=-all
  # Refuse to run anything that deletes unless the prefix is sealed.
  [ ! -e "$prefix/dosdevices/z:" ] || { echo "sandbox: z: still mapped"; return 1; }
  if find "$C/users" -maxdepth 2 -type l | grep -q .; then echo "sandbox: user links"; return 1; fi
  wineserver -p
  wine cmd.exe /c exit >/dev/null 2>&1 </dev/null
  user=$(ls "$C/users" | grep -vx Public | head -1)
  U="C:\\users\\$user"
  profile=$C/users/$user
  desktop=$profile/Desktop
  programs="$profile/AppData/Roaming/Microsoft/Windows/Start Menu/Programs"
  appdata=$profile/AppData/Roaming
  temp_bat="$profile/Temp/delKovraUninstall.bat"
  mkdir -p "$desktop" "$programs" "$appdata" "$profile/Temp"
  tool='D:\kv_uitool.exe'
  uninstall_key='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\KovraPravik'
}

kv_sandbox_cleanup() {
  stop_all
  [ -n "${prefix:-}" ] && kv_remove_prefix "$prefix"
  if [ -n "$kv_xvfb_pid" ]; then
    kill "$kv_xvfb_pid" 2>/dev/null
    wait "$kv_xvfb_pid" 2>/dev/null
  fi
  kv_xvfb_pid=""
}

w() { wine "$@" </dev/null 2>/dev/null; }
unix_of() {  # C:\a\b -> $C/a/b
  local p=${1#C:\\}
  echo "$C/${p//\\//}"
}
set_location() { w reg add "$uninstall_key" /v InstallLocation /t REG_SZ /d "$1" /f >/dev/null; }
key_exists() { w reg query "$1" >/dev/null 2>&1; }
snapshot() { (cd "$C" && find . \( -path ./windows/temp -o -path "./users/$user/Temp" \) -prune \
  -o -print | LC_ALL=C sort); }

# A simulated installation in Windows folder $1 with the uninstaller and nested files.
make_install() {
  local dir; dir=$(unix_of "$1")
  mkdir -p "$dir/plugins/deep" "$dir/locale"
  cp "$work/bin/uninstall.exe" "$dir/uninstall.exe"
  cp "$work/bin/kv_dummy_client.exe" "$dir/KovraPravik.exe"
  cp "$work/bin/kv_dummy_client.exe" "$dir/crash_server.exe"
  echo data > "$dir/plugins/deep/plugin.dll"
  echo data > "$dir/locale/zh.pak"
  echo data > "$dir/config.ini"
  set_location "$1"
}

start_client() {  # a dummy client from Windows path $1
  wine "$1" </dev/null >/dev/null 2>&1 &
  pids+=($!)
}

stop_all() {
  local p
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  pids=()
}

# The self-deleting script's folders (a new one each run in the Windows folder's Temp).
script_dirs() { ls -d "$C"/windows/temp/KovraUninstall-* 2>/dev/null; }

# Waits until the self-deleting script has run and removed itself and its folder; false after a
# minute.
wait_for_script() {
  for _ in $(seq 240); do
    if [ -z "$(script_dirs)" ] && ! w "$tool" running 'C:\windows\system32\cmd.exe'; then
      return 0
    fi
    sleep 0.25
  done
  return 1
}

# Files under C: that existed in snapshot $1 and are gone now, outside the allowed prefixes
# ($2...: paths relative to C:, like ./Program Files/Kovra).
lost_outside() {
  local before=$1; shift
  local after; after=$(snapshot)
  comm -23 <(echo "$before") <(echo "$after") | while IFS= read -r f; do
    local allowed=0 a
    for a in "$@"; do
      case "$f" in "$a"|"$a"/*) allowed=1;; esac
    done
    [ "$allowed" = 1 ] || echo "$f"
  done
}

# Paths registered for removal at restart (PendingFileRenameOperations), one a line, sorted.
# Exported as a .reg file (UTF-16, the value as hex bytes) and decoded here: reg query prints
# through the console's code page, where a full-width "＼" would read as "\".
pending() {
  w reg export 'HKLM\System\CurrentControlSet\Control\Session Manager' \
    'C:\windows\temp\kv-pending.reg' /y >/dev/null
  /usr/bin/python3 - "$C/windows/temp/kv-pending.reg" <<'PY' | LC_ALL=C sort -u
import re, sys
try:
    text = open(sys.argv[1], "rb").read().decode("utf-16")
except OSError:
    sys.exit(0)
value = re.search(r'^"PendingFileRenameOperations"=hex\(7\):((?:[0-9a-f,]|\\\r?\n\s*)*)',
                  text, re.M | re.I)
if value:
    data = bytes(int(b, 16) for b in re.findall(r"[0-9a-f]{2}", value.group(1), re.I))
    for name in data.decode("utf-16-le", "replace").split("\0"):
        if name:
            print(name[4:] if name.startswith("\\??\\") else name)
PY
}

# Registrations for restart that are new since pending list $1 and lie outside the allowed
# folders ($2...: paths relative to C:, as for lost_outside).
registered_outside() {
  local before=$1; shift
  comm -13 <(echo "$before") <(pending) | while IFS= read -r f; do
    local allowed=0 a
    for a in "$@"; do
      a="C:\\${a#./}"
      a=${a//\//\\}
      case "${f,,}" in "${a,,}"|"${a,,}\\"*) allowed=1;; esac
    done
    [ "$allowed" = 1 ] || echo "$f"
  done
}
