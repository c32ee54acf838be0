# Sourced by scripts: creates throw-away Wine prefixes made safe for code that deletes files.
#
# kv_make_safe_prefix <prefix-dir> [<drive-letter> <folder>]...
#   Creates a 32-bit prefix, removes the z: link to the Linux root, replaces the user-folder links
#   (Desktop, Documents, ...) with real empty folders, and maps each given drive letter to a folder.
#   Programs can then only reach the prefix's own C: drive and the mapped folders.
# kv_remove_prefix <prefix-dir>
#   Stops the prefix's wineserver and deletes the prefix.
# kv_select_windows_build
#   Sets KV_WIN_PRESET to the Windows build whose programs this machine can run: win32, or win64
#   where the kernel runs no 32-bit code (IA-32 emulation off). For win64 it exports WINEARCH=win64
#   and puts scripts/lib/wine64 first on PATH. KV_WIN_PRESET set beforehand is kept.

kv_make_safe_prefix() {
  local prefix=$1; shift
  case "$prefix" in /*) ;; *) echo "kv_make_safe_prefix: absolute path needed" >&2; return 1;; esac
  mkdir -p "$prefix"
  WINEPREFIX="$prefix" WINEARCH="${WINEARCH:-win32}" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
    wineboot -i >/dev/null 2>&1 || return 1
  WINEPREFIX="$prefix" wineserver -w
  rm -f "$prefix/dosdevices/z:" "$prefix/dosdevices/z::"
  local user_dir
  for user_dir in "$prefix"/drive_c/users/*/; do
    local link
    for link in "$user_dir"*; do
      if [ -L "$link" ]; then
        rm -f "$link"
        mkdir -p "$link"
      fi
    done
  done
  while [ "$#" -ge 2 ]; do
    local letter=$1 folder=$2; shift 2
    rm -f "$prefix/dosdevices/$letter:"
    ln -s "$folder" "$prefix/dosdevices/$letter:"
  done
}

kv_remove_prefix() {
  local prefix=$1
  [ -d "$prefix/dosdevices" ] || return 0
  WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true
  rm -rf "$prefix"
}

kv_select_windows_build() {
  if [ -z "${KV_WIN_PRESET:-}" ]; then
    if /usr/lib/wine/wine --version >/dev/null 2>&1 || [ ! -x /usr/lib/wine/wine64 ]; then
      KV_WIN_PRESET=win32
    else
      KV_WIN_PRESET=win64
    fi
  fi
  export KV_WIN_PRESET
  if [ "$KV_WIN_PRESET" = win64 ]; then
    local shims
    shims=$(cd "$(dirname "${BASH_SOURCE[0]}")/wine64" && pwd)
    case ":$PATH:" in *":$shims:"*) ;; *) export PATH="$shims:$PATH";; esac
    export WINEARCH=win64
  fi
}

# kv_start_xvfb <screen, e.g. 1024x768x24> <folder for a temporary file>: an Xvfb server on a
# display it picks itself (-displayfd), so parallel runs do not collide. Sets kv_xvfb_pid and
# kv_xvfb_display (the number); status 1, with kv_xvfb_pid empty, when it did not start.
kv_start_xvfb() {
  local display_file
  display_file=$(mktemp "$2/xvfb.XXXXXX")
  Xvfb -displayfd 3 -screen 0 "$1" -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
  kv_xvfb_pid=$!
  for _ in $(seq 200); do
    [ -s "$display_file" ] && break
    kill -0 "$kv_xvfb_pid" 2>/dev/null || break
    sleep 0.05
  done
  kv_xvfb_display=$(head -n 1 "$display_file")
  rm -f "$display_file"
  if [ -z "$kv_xvfb_display" ]; then
    kill "$kv_xvfb_pid" 2>/dev/null
    kv_xvfb_pid=""
    return 1
  fi
}
