#!/usr/bin/env bash
# End-to-end tests of uninstall.exe under Wine on simulated installations.
#
#   e2e.sh full|hostile-a|hostile-b|race|owner|look <bin-dir> <source-dir>
#
# Every run gets its own throw-away prefix made by kv_make_safe_prefix: no z: drive, user folders
# that are real empty folders, all fixtures on C:, and D: mapping a folder that holds only copies
# of the programs under test. Started as root, the script drops to the unprivileged uid 65534 so
# that even a path escaping the prefix could not reach anything that user may not write. Each
# suite starts its own Xvfb on a free display and stops it at the end. The look suite keeps its
# screenshots in <bin-dir>/../artifacts/uninstaller/.
set -uo pipefail

suite=$1 bin=$2 src=$3
kv_sandbox_keep=artifacts
kv_sandbox_keep_to="$bin/../artifacts/uninstaller"
source "$src/uninstall/tests/sandbox.sh"
source "$src/scripts/lib/window-shot.sh"
kv_sandbox_bin=$bin
kv_sandbox_enter KV_E2E_WORK "$0" "$suite" "$bin" "$src"

failures=0

note() { echo "-- [${SECONDS}s] $*"; }
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
check() { local what=$1; shift; if "$@"; then echo "ok: $what"; else fail "$what"; fi; }
trap kv_sandbox_cleanup EXIT

kv_sandbox_start_display || { echo "FAIL: no Xvfb display"; exit 1; }
kv_sandbox_make_prefix || { echo "FAIL: prefix"; exit 1; }

# Starts uninstaller $1 (cwd: Linux folder $2, optional), confirms and leaves the dialog with $3
# (done, close or idok). Sets first_rc and dialog_rc; waits for the self-deleting script.
run_uninstall() {
  local exe=$1 cwd=${2:-$C} how=${3:-done}
  (cd "$cwd" && wine "$exe" </dev/null >/dev/null 2>&1) &
  local first=$!
  if ! w "$tool" confirm-ok | grep -q answered; then fail "confirmation box of $exe"; fi
  local out; out=$(w "$tool" finish "$how")
  if ! echo "$out" | grep -q '^exit code'; then
    fail "dialog of $exe: $out"
    recover
  fi
  dialog_rc=$(echo "$out" | sed -n 's/^exit code //p' | tr -d '\r')
  wait "$first"; first_rc=$?
  wait_for_script || fail "self-deleting script still running"
}

# After a failed step: end every Windows process of the prefix so the next case starts clean.
recover() {
  wineserver -k
  wineserver -p
  pids=()
}

# Runs uninstaller $1 with InstallLocation $2 and checks that nothing is lost or registered for
# removal at restart outside the allowed folders ($3...: paths relative to C:).
uninstall_keeps_outside() {
  local exe=$1 loc=$2; shift 2
  set_location "$loc"
  local before pend lost reg
  before=$(snapshot)
  pend=$(pending)
  run_uninstall "$exe"
  lost=$(lost_outside "$before" "$@")
  check "$loc: nothing lost${lost:+: $lost}" [ -z "$lost" ]
  reg=$(registered_outside "$pend" "$@")
  check "$loc: nothing registered for restart${reg:+: $reg}" [ -z "$reg" ]
}

# Removes what make_install put into Windows folder $1 (the folder itself stays).
unplant() {
  local dir; dir=$(unix_of "$1")
  rm -rf "$dir/plugins" "$dir/locale" "$dir/config.ini" "$dir/uninstall.exe" "$dir/KovraPravik.exe" \
    "$dir/crash_server.exe"
}

# --- Suites -----------------------------------------------------------------------------------
suite_full() {
  local inst='C:\Program Files\Kovra\KovraPravik'
  local idir; idir=$(unix_of "$inst")
  make_install "$inst"
  w reg add 'HKCR\qpx\shell\open\command' /ve /d "\"$inst\\KovraPravik.exe\" \"%1\"" /f >/dev/null
  w reg add 'HKCR\qpxt\shell\open\command' /ve /d '"C:\y.exe" "%1"' /f >/dev/null
  echo lnk > "$desktop/KovraPravik.lnk"
  echo lnk > "$desktop/Other.lnk"
  mkdir -p "$programs/Kovra/KovraPravik" "$programs/Kovra/OtherProduct"
  echo lnk > "$programs/Kovra/KovraPravik/KovraPravik.lnk"
  echo lnk > "$programs/Kovra/KovraPravik/卸载KovraPravik.lnk"
  echo lnk > "$programs/Kovra/OtherProduct/Other.lnk"
  mkdir -p "$appdata/Kovra/logs" && echo log > "$appdata/Kovra/logs/a.txt"
  mkdir -p "$C/Other" && cp "$work/bin/kv_dummy_client.exe" "$C/Other/KovraPravik.exe"
  local task=0
  if w "$tool" task-create KovraUpdateTaskMachine && w "$tool" task-exists KovraUpdateTaskMachine
  then task=1; else note "Task Scheduler cannot register tasks here; task step not checked"; fi

  note "cancel changes nothing and exits 0"
  local before; before=$(snapshot)
  (cd "$C" && wine "$inst\\uninstall.exe" </dev/null >/dev/null 2>&1) &
  local first=$!
  w "$tool" confirm-cancel | grep -q answered || fail "cancel: no confirmation box"
  wait "$first"; check "cancel exits 0" [ $? = 0 ]
  check "cancel leaves files" [ "$before" = "$(snapshot)" ]
  check "cancel leaves the uninstall key" key_exists "$uninstall_key"

  note "a second uninstaller exits 0 at once, the first keeps its box"
  (cd "$C" && wine "$inst\\uninstall.exe" </dev/null >/dev/null 2>&1) &
  first=$!
  sleep 1
  local t0=$SECONDS
  (cd "$C" && timeout 20 wine "$inst\\uninstall.exe" </dev/null >/dev/null 2>&1)
  check "second instance exits 0" [ $? = 0 ]
  check "second instance ends quickly" [ $((SECONDS - t0)) -le 5 ]
  w "$tool" confirm-cancel | grep -q answered || fail "first instance lost its box"
  wait "$first"

  note "the setup mutex held shows the busy box"
  wine "$tool" hold-mutex 'Global\KovraSetup' 30 </dev/null >/dev/null 2>&1 &
  local holder=$!
  sleep 1
  (cd "$C" && wine "$inst\\uninstall.exe" </dev/null >/dev/null 2>&1) &
  first=$!
  check "busy box with its text" bash -c "wine '$tool' busy-ok 2>/dev/null | grep -q answered"
  wait "$first"; check "busy exits 0" [ $? = 0 ]
  kill "$holder" 2>/dev/null; wait "$holder" 2>/dev/null
  check "busy run left the copy unwritten" [ ! -e "$idir/uninstall_new.exe" ]

  note "full uninstall"
  start_client "$inst\\KovraPravik.exe"
  start_client "$inst\\KovraPravik.exe"
  start_client 'C:\Other\KovraPravik.exe'
  for _ in $(seq 40); do
    w "$tool" running "$inst\\KovraPravik.exe" && w "$tool" running 'C:\Other\KovraPravik.exe' &&
      break
    sleep 0.25
  done
  check "client is running before" w "$tool" running "$inst\\KovraPravik.exe"
  before=$(snapshot)
  local pend; pend=$(pending)
  run_uninstall "$inst\\uninstall.exe" "$C" done
  local reg; reg=$(registered_outside "$pend")
  check "nothing registered for restart${reg:+: $reg}" [ -z "$reg" ]
  check "first process exits 0" [ "$first_rc" = 0 ]
  check "dialog exits 0 after Done" [ "$dialog_rc" = 0 ]
  check "installed client ended" bash -c "! wine '$tool' running '$inst\\KovraPravik.exe' 2>/dev/null"
  check "same-named client elsewhere survives" w "$tool" running 'C:\Other\KovraPravik.exe'
  check "installation folder removed" [ ! -e "$idir" ]
  check "uninstaller copy removed" [ ! -e "$idir/uninstall_new.exe" ]
  check "data folder removed" [ ! -e "$appdata/Kovra" ]
  check "desktop shortcut removed" [ ! -e "$desktop/KovraPravik.lnk" ]
  check "other desktop shortcut kept" [ -e "$desktop/Other.lnk" ]
  check "product start-menu folder removed" [ ! -e "$programs/Kovra/KovraPravik" ]
  check "other product's folder kept" [ -e "$programs/Kovra/OtherProduct/Other.lnk" ]
  check "uninstall key removed" bash -c "! wine reg query '$uninstall_key' >/dev/null 2>&1"
  check "qpx command key removed" bash -c "! wine reg query 'HKCR\\qpx\\shell\\open\\command' >/dev/null 2>&1"
  check "qpx parent keys kept" key_exists 'HKCR\qpx\shell\open'
  check "qpxt command key kept" key_exists 'HKCR\qpxt\shell\open\command'
  if [ "$task" = 1 ]; then
    check "update task removed" bash -c "! wine '$tool' task-exists KovraUpdateTaskMachine 2>/dev/null"
  fi
  check "script and its folder removed themselves" [ -z "$(script_dirs)" ]
  check "nothing written in the user's temporary folder" [ ! -e "$temp_bat" ]
  local lost; lost=$(lost_outside "$before" "./Program Files/Kovra/KovraPravik" \
    "./users/$user/AppData/Roaming/Kovra" "./users/$user/Desktop/KovraPravik.lnk" \
    "./users/$user/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Kovra/KovraPravik" \
    "./windows/system32/tasks/KovraUpdateTaskMachine")
  check "nothing else lost${lost:+: $lost}" [ -z "$lost" ]
  stop_all

  note "a copy finding the uninstaller mutex held gives up after a bounded wait, silently"
  make_install "$inst"
  cp "$work/bin/uninstall.exe" "$idir/Uninstall_NEW.exe"
  wine "$tool" hold-mutex 'Global\KovraSetup_Unistall' 15 </dev/null >/dev/null 2>&1 &
  local holder=$!
  sleep 1
  local t0=$SECONDS
  (cd "$C" && timeout 14 wine "$inst\\Uninstall_NEW.exe" </dev/null >/dev/null 2>&1)
  local rc=$? waited=$((SECONDS - t0))
  check "copy exits 0 after giving up (rc $rc)" [ "$rc" = 0 ]
  check "copy waited a bounded time (${waited}s)" test "$waited" -ge 4 -a "$waited" -le 10
  kill "$holder" 2>/dev/null; wait "$holder" 2>/dev/null

  note "a copy waits for the mutex hand-over, runs without asking; the default command quits 1"
  wine "$tool" hold-mutex 'Global\KovraSetup_Unistall' 2 </dev/null >/dev/null 2>&1 &
  holder=$!
  sleep 0.5
  (cd "$C" && wine "$inst\\Uninstall_NEW.exe" </dev/null >/dev/null 2>&1) &
  first=$!
  local out; out=$(w "$tool" finish idok)
  check "dialog after hand-over, exit code 1 ($out)" [ "$(echo "$out" | tr -d '\r')" = "exit code 1" ]
  wait "$first"
  wait "$holder" 2>/dev/null
  sleep 1
  check "no script written" [ -z "$(script_dirs)" ]
  check "copy left in place" [ -e "$idir/Uninstall_NEW.exe" ]
}

suite_hostile_a() {
  local docs=$profile/Documents
  mkdir -p "$docs/precious/inner" "$C/canary"
  echo keep > "$docs/precious/inner/thesis.doc"
  echo keep > "$docs/letter.txt"
  echo keep > "$C/canary/keep.txt"
  echo keep > "$C/windows/kv_canary.txt"
  local inst='C:\Program Files\Kovra\KovraPravik' before lost
  local idir; idir=$(unix_of "$inst")

  note "a link inside the installation folder is removed, its target kept"
  make_install "$inst"
  ln -s "$docs/precious" "$idir/plugins/link"
  before=$(snapshot)
  run_uninstall "$inst\\uninstall.exe"
  check "link target kept" [ -e "$docs/precious/inner/thesis.doc" ]
  if [ -L "$idir/plugins/link" ]; then
    # Wine cannot remove a Linux symbolic link through the Win32 calls; the uninstaller then
    # keeps the folder (the script must not recurse through the link) and removes everything else.
    note "link could not be removed here (Wine); checking that the rest went and the link stayed"
    check "other files removed" test ! -e "$idir/config.ini" -a ! -e "$idir/plugins/deep"
    check "uninstaller copy removed" [ ! -e "$idir/uninstall_new.exe" ]
  else
    check "link itself removed, folder gone" [ ! -e "$idir" ]
  fi
  lost=$(lost_outside "$before" "./Program Files/Kovra/KovraPravik")
  check "nothing outside lost${lost:+: $lost}" [ -z "$lost" ]
  rm -rf "$idir"

  local loc
  # The Windows folder and the profile are tried below with the uninstaller inside them.
  for loc in 'C:\' 'c:/' "$U\\AppData" 'C:\Program Files'; do
    note "InstallLocation $loc deletes nothing"
    make_install "$inst"
    set_location "$loc"
    before=$(snapshot)
    run_uninstall "$inst\\uninstall.exe"
    check "dialog exit 0" [ "$dialog_rc" = 0 ]
    lost=$(lost_outside "$before")
    check "nothing lost with $loc${lost:+: $lost}" [ -z "$lost" ]
    check "copy removed by the script" [ ! -e "$idir/uninstall_new.exe" ]
    rm -rf "$idir"
  done

  note "uninstaller inside the Windows folder recorded as the installation folder"
  cp "$work/bin/uninstall.exe" "$C/windows/uninstall.exe"
  set_location 'C:\windows'
  before=$(snapshot)
  run_uninstall 'C:\windows\uninstall.exe'
  lost=$(lost_outside "$before")
  check "Windows folder intact${lost:+: $lost}" [ -z "$lost" ]
  check "copy in Windows folder removed" [ ! -e "$C/windows/uninstall_new.exe" ]

  note "uninstaller inside the user profile recorded as the installation folder"
  cp "$work/bin/uninstall.exe" "$profile/uninstall.exe"
  set_location "$U"
  before=$(snapshot)
  run_uninstall "$U\\uninstall.exe"
  lost=$(lost_outside "$before")
  check "profile intact${lost:+: $lost}" [ -z "$lost" ]
  rm -f "$profile/uninstall.exe"

  # Protected folders that hold the product's main file and the running uninstaller, so that
  # only the protected set stands between them and the deletion.
  local row
  mkdir -p "$C/users/alice/Documents" "$C/Profiles/carol/Downloads"
  echo keep > "$C/users/alice/Documents/report.doc"
  w reg add 'HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\ProfileList\S-1-5-21-7-7-7-1001' \
    /v ProfileImagePath /t REG_SZ /d 'C:\Profiles\carol' /f >/dev/null
  for row in 'C:\windows\Kovra' 'C:\users\alice' 'C:\users\alice\Documents' 'C:\users\Public' \
             'C:\Profiles\carol\Downloads'; do
    note "a product folder at $row deletes nothing"
    make_install "$row"
    uninstall_keeps_outside "$row\\uninstall.exe" "$row"
    unplant "$row"
  done

  note "the profile reached through a link to the profiles folder"
  mkdir -p "$C/Apps" && ln -s "$C/users" "$C/Apps/Link"
  make_install "$U"
  uninstall_keeps_outside "C:\\Apps\\Link\\$user\\uninstall.exe" "C:\\Apps\\Link\\$user"
  unplant "$U"

  note "a short name and a device path of protected folders"
  make_install 'C:\Program Files'
  local short; short=$(w "$tool" short-path 'C:\Program Files' | tr -d '\r')
  check "short name of Program Files ($short)" test -n "$short" -a "$short" != 'C:\Program Files'
  uninstall_keeps_outside 'C:\Program Files\uninstall.exe' "$short"
  unplant 'C:\Program Files'
  make_install "$U\\Documents"
  uninstall_keeps_outside "$U\\Documents\\uninstall.exe" "\\\\.\\$U\\Documents"
  unplant "$U\\Documents"
}

suite_hostile_b() {
  local inst='C:\Program Files\Kovra\KovraPravik' before lost
  local idir; idir=$(unix_of "$inst")

  note "a relative InstallLocation deletes nothing"
  make_install 'C:\Work\Kovra\KovraPravik'
  set_location 'Kovra\KovraPravik'
  before=$(snapshot)
  run_uninstall 'C:\Work\Kovra\KovraPravik\uninstall.exe' "$C/Work" done
  lost=$(lost_outside "$before")
  check "relative location: nothing lost${lost:+: $lost}" [ -z "$lost" ]
  rm -rf "$C/Work"

  note "a % in the installation path"
  # An unescaped script would name the sibling: its copy-named file and the folder.
  mkdir -p "$C/Apps/a1b/KovraPravik" && echo keep > "$C/Apps/a1b/keep.txt"
  echo keep > "$C/Apps/a1b/KovraPravik/uninstall_new.exe"
  make_install 'C:\Apps\a%num%b\KovraPravik'
  before=$(snapshot)
  run_uninstall 'C:\Apps\a%num%b\KovraPravik\uninstall.exe'
  check "installation folder with % removed" [ ! -e "$C/Apps/a%num%b/KovraPravik" ]
  lost=$(lost_outside "$before" "./Apps/a%num%b/KovraPravik")
  check "sibling kept${lost:+: $lost}" [ -z "$lost" ]

  note "uninstaller started from a foreign folder, left with the close button"
  make_install "$inst"
  mkdir -p "$C/Tools" && cp "$work/bin/uninstall.exe" "$C/Tools/" && echo keep > "$C/Tools/keep.txt"
  before=$(snapshot)
  run_uninstall 'C:\Tools\uninstall.exe' "$C" close
  check "close button exit code 1004" [ "$dialog_rc" = 1004 ]
  check "installation folder removed" [ ! -e "$idir" ]
  check "foreign folder kept" test -e "$C/Tools/keep.txt" -a -e "$C/Tools/uninstall.exe"
  check "foreign copy removed" [ ! -e "$C/Tools/uninstall_new.exe" ]
  lost=$(lost_outside "$before" "./Program Files/Kovra/KovraPravik")
  check "nothing outside lost${lost:+: $lost}" [ -z "$lost" ]

  note "a file held locked inside is left, and not registered for restart (it may be planted)"
  make_install "$inst"
  echo data > "$idir/locked.dat"
  wine "$tool" hold-file "$inst\\locked.dat" 25 </dev/null >/dev/null 2>&1 &
  local holder=$!
  sleep 1
  before=$(snapshot)
  local pend; pend=$(pending)
  run_uninstall "$inst\\uninstall.exe"
  check "locked file still there" [ -e "$idir/locked.dat" ]
  check "free files removed" test ! -e "$idir/config.ini" -a ! -e "$idir/plugins"
  local reg; reg=$(registered_outside "$pend")
  check "nothing registered for restart${reg:+: $reg}" [ -z "$reg" ]
  lost=$(lost_outside "$before" "./Program Files/Kovra/KovraPravik")
  check "nothing outside lost${lost:+: $lost}" [ -z "$lost" ]
  kill "$holder" 2>/dev/null; wait "$holder" 2>/dev/null
  rm -rf "$idir"

  note "a path too long for the copy's name: the uninstall runs in the installed file"
  # A long program name, not a long folder: Wine cannot tell final paths much beyond 260
  # characters, and the uninstaller leaves what it cannot resolve.
  local exe; exe=$(printf 'u%.0s' $(seq 235)).exe
  local ldir='C:\Long\KovraPravik'
  make_install "$ldir"
  mv "$C/Long/KovraPravik/uninstall.exe" "$C/Long/KovraPravik/$exe"
  (cd "$C" && wine "$ldir\\$exe" </dev/null >/dev/null 2>&1) &
  local first=$!
  w "$tool" confirm-ok | grep -q answered || fail "long: no confirmation box"
  check "long path: no cut copy written" [ -z "$(ls "$C/Long/KovraPravik" | grep -i new)" ]
  local out; out=$(w "$tool" finish done)
  wait "$first"; first_rc=$?
  check "long path: dialog in the first process ($out)" [ "$first_rc" = 0 ]
  wait_for_script || fail "self-deleting script still running"
  check "long path: installation folder removed" [ ! -e "$C/Long/KovraPravik" ]
  rm -rf "$C/Long"

  # Full-width look-alikes of '%', separators, dots and quotes reach the command processor as
  # the ASCII characters under a best-fit conversion (the default code page here is 1252).
  mkdir -p "$C/Apps/Victim" && echo keep > "$C/Apps/Victim/keep.txt"
  local row
  for row in 'C:\Apps\ａ％num％ｂ' 'C:\Apps\Kovra＼．．＼Victim' 'C:\Apps\K＂ ＂C：＼Apps＼Victim'; do
    note "a full-width look-alike in the installation path: $row"
    make_install "$row"
    uninstall_keeps_outside "$row\\uninstall.exe" "$row" "./Apps/${row#C:\\Apps\\}"
    check "look-alike siblings kept" test -e "$C/Apps/a1b/keep.txt" -a -e "$C/Apps/Victim/keep.txt"
  done

  note "a location that names a document"
  make_install "$inst"
  mkdir -p "$profile/Documents" && echo keep > "$profile/Documents/letter.txt"
  uninstall_keeps_outside "$inst\\uninstall.exe" "$U\\Documents\\letter.txt"

  note "a folder of a person's files without a trace of the product"
  mkdir -p "$C/Data/Photos/2024" && echo keep > "$C/Data/Photos/2024/a.jpg"
  uninstall_keeps_outside "$inst\\uninstall.exe" 'C:\Data\Photos'
  rm -rf "$idir"
}

# Byte for byte: every file's content, every entry's type and mode (a read-only bit is a mode).
fingerprint() {
  (cd "$1" && find . -type f -print0 | LC_ALL=C sort -z | xargs -0r sha256sum &&
    find . -printf '%y %m %p\n' | LC_ALL=C sort)
}

# Plays a program without rights beside the elevated run: it may write the user's temporary
# folder and the installation folder (outside Program Files); under Wine it acts as the same
# Linux user, within the script's pauses. Started with the folder $1; stopped by stop_watcher.
start_watcher() {
  local idir=$1 tmp=$profile/Temp
  (
    planted_late=0
    for _ in $(seq 1200); do
      # Any script in a place it can write is rewritten to run a line of its own.
      for f in "$tmp"/*.bat "$tmp"/*.cmd "$idir"/*.bat; do
        # (Not through a link or a second name: that would change the person's file itself.)
        [ -f "$f" ] && [ ! -L "$f" ] && [ "$(stat -c %h "$f")" = 1 ] && ! grep -q pwned "$f" &&
          printf '\r\necho pwned > C:\\pwned.txt\r\n' >> "$f"
      done
      ls "$C"/windows/temp/KovraUninstall-*/delKovraUninstall.bat >> "$work/seen" 2>/dev/null
      # Once the worker has emptied the folder, a link to the person's folder appears in it.
      # ... and the running copy's name becomes a folder of the person's files.
      if [ "$planted_late" = 0 ] && [ -d "$idir" ] && [ ! -e "$idir/config.ini" ]; then
        ln -s "$profile/Documents/precious" "$idir/late" && planted_late=1
        if [ -f "$idir/uninstall_new.exe" ] && mv "$idir/uninstall_new.exe" "$idir/away.exe"; then
          mkdir -p "$idir/uninstall_new.exe" && echo mine > "$idir/uninstall_new.exe/persons.txt"
        fi
      fi
      sleep 0.05
    done
  ) &
  watcher=$!
}
stop_watcher() { kill "$watcher" 2>/dev/null; wait "$watcher" 2>/dev/null; }

# What an unprivileged program plants or races: programs the script might find by name, links
# and second names at the fixed names, a script rewritten while it waits, a link made inside
# the installation folder after the checks. Nothing of the person's may change.
suite_race() {
  local inst='C:\Apps\Kovra\KovraPravik' docs=$profile/Documents tmp=$profile/Temp
  local idir; idir=$(unix_of "$inst")
  mkdir -p "$docs/precious/inner"
  echo keep > "$docs/precious/inner/thesis.doc"
  echo letter > "$docs/letter.txt"
  echo contract > "$docs/contract.pdf"
  local print before pend lost reg kind
  for kind in symbolic hard; do
    note "planted ping programs, a $kind link at the script's name, a late link in the folder"
    make_install "$inst"
    for d in "$tmp" "$idir"; do
      printf 'echo pwned > C:\\pwned.txt\r\n' > "$d/ping.bat"
      printf 'echo pwned > C:\\pwned.txt\r\n' > "$d/ping.cmd"
    done
    if [ "$kind" = symbolic ]; then ln -s "$docs/letter.txt" "$tmp/delKovraUninstall.bat"
    else ln "$docs/letter.txt" "$tmp/delKovraUninstall.bat"; fi
    print=$(fingerprint "$docs")
    before=$(snapshot)
    pend=$(pending)
    rm -f "$work/seen"
    start_watcher "$idir"
    run_uninstall "$inst\\uninstall.exe"
    stop_watcher
    check "$kind: no planted program ran" [ ! -e "$C/pwned.txt" ]
    check "$kind: the person's files unchanged" [ "$print" = "$(fingerprint "$docs")" ]
    check "$kind: the script ran from a folder of its own in the Windows folder's Temp" \
      test -s "$work/seen"
    check "$kind: the installation's files removed" test ! -e "$idir/config.ini" -a ! -e "$idir/plugins"
    check "$kind: the folder at the copy's name kept" [ -e "$idir/uninstall_new.exe/persons.txt" ]
    lost=$(lost_outside "$before" "./Apps/Kovra/KovraPravik" "./users/$user/Temp")
    check "$kind: nothing outside lost${lost:+: $lost}" [ -z "$lost" ]
    reg=$(registered_outside "$pend")
    check "$kind: nothing registered for restart${reg:+: $reg}" [ -z "$reg" ]
    rm -rf "$idir" "$C/pwned.txt" "$tmp/delKovraUninstall.bat" "$tmp"/ping.*
  done

  for kind in symbolic hard; do
    note "a $kind link at the copy's name: no copy, the installed file runs the uninstall"
    make_install "$inst"
    if [ "$kind" = symbolic ]; then ln -s "$docs/contract.pdf" "$idir/uninstall_new.exe"
    else ln "$docs/contract.pdf" "$idir/uninstall_new.exe"; fi
    # A read-only file of the person's with a second name inside the folder.
    ln "$docs/letter.txt" "$idir/letter.txt"
    chmod a-w "$docs/letter.txt"
    print=$(fingerprint "$docs")
    before=$(snapshot)
    pend=$(pending)
    run_uninstall "$inst\\uninstall.exe"
    check "$kind: the person's files unchanged, read-only kept" [ "$print" = "$(fingerprint "$docs")" ]
    check "$kind: the installation's files removed" test ! -e "$idir/config.ini" -a ! -e "$idir/uninstall.exe"
    lost=$(lost_outside "$before" "./Apps/Kovra/KovraPravik")
    check "$kind: nothing outside lost${lost:+: $lost}" [ -z "$lost" ]
    reg=$(registered_outside "$pend")
    check "$kind: nothing registered for restart${reg:+: $reg}" [ -z "$reg" ]
    chmod u+w "$docs/letter.txt"
    rm -rf "$idir"
  done
}

# Things the uninstaller must prove its own before it acts: another program's protocol command,
# an uninstall key that is a registry link, another product's process in a folder the guard
# refuses, a data folder over another edition's installation, a folder shared with a person's
# files, names that only exact paths reach.
suite_owner() {
  local inst='C:\Program Files\Kovra\KovraPravik' before pend lost reg print
  local idir; idir=$(unix_of "$inst")
  local others='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\OtherProduct'

  note "another program's URL-protocol command stays"
  make_install "$inst"
  w reg add 'HKCR\qpx\shell\open\command' /ve /d '"C:\Program Files\OtherViewer\viewer.exe" "%1"' /f >/dev/null
  run_uninstall "$inst\\uninstall.exe"
  check "installation removed" [ ! -e "$idir" ]
  check "other program's command kept" bash -c "wine reg query 'HKCR\\qpx\\shell\\open\\command' /ve 2>/dev/null | grep -q OtherViewer"

  note "an uninstall key that is a registry link to another product's key"
  make_install "$inst"
  mkdir -p "$C/OtherProduct" && echo keep > "$C/OtherProduct/data.bin"
  w reg add "$others" /v InstallLocation /t REG_SZ /d 'C:\OtherProduct' /f >/dev/null
  w reg delete "$uninstall_key" /f >/dev/null
  check "registry link made" w "$tool" reg-link \
    'SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\KovraPravik' \
    'SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\OtherProduct'
  before=$(snapshot)
  run_uninstall "$inst\\uninstall.exe"
  check "other product's key kept" bash -c "wine reg query '$others' /v InstallLocation >/dev/null 2>&1"
  check "the link itself removed" bash -c "! wine reg query '$uninstall_key' >/dev/null 2>&1"
  lost=$(lost_outside "$before" "./Program Files/Kovra/KovraPravik")
  check "nothing of the other product lost${lost:+: $lost}" [ -z "$lost" ]
  w reg delete "$others" /f >/dev/null
  rm -rf "$idir"

  note "another product's process in a folder the guard refuses"
  make_install "$inst"
  cp "$work/bin/kv_dummy_client.exe" "$C/OtherProduct/crash_server.exe"
  start_client 'C:\OtherProduct\crash_server.exe'
  for _ in $(seq 40); do w "$tool" running 'C:\OtherProduct\crash_server.exe' && break; sleep 0.25; done
  uninstall_keeps_outside "$inst\\uninstall.exe" 'C:\OtherProduct' "./Program Files/Kovra/KovraPravik"
  check "other product's process still running" w "$tool" running 'C:\OtherProduct\crash_server.exe'
  stop_all
  rm -rf "$idir"

  note "the data folder as a link to another vendor's folder"
  local vendor="$C/Program Files/OtherVendor/App"
  mkdir -p "$vendor/bin" && echo dll > "$vendor/bin/app.dll"
  ln -s "$vendor" "$appdata/Kovra"
  make_install "$inst"
  print=$(fingerprint "$vendor")
  run_uninstall "$inst\\uninstall.exe"
  check "the other vendor's folder unchanged" [ "$print" = "$(fingerprint "$vendor")" ]
  rm -f "$appdata/Kovra"
  rm -rf "$idir" "$C/Program Files/OtherVendor"

  note "AppData redirected over another edition's installation"
  local shell='HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders'
  local teacher="$C/Program Files/Kovra/KovraPravik_Teacher"
  mkdir -p "$teacher/plugins" && echo data > "$teacher/plugins/p.dll"
  cp "$work/bin/kv_dummy_client.exe" "$teacher/Kovrapravik_Teacher.exe"
  make_install 'C:\Apps\KovraPravik'
  local usual; usual=$(w reg query "$shell" /v AppData | sed -n 's/.*REG_EXPAND_SZ *//p' | tr -d '\r')
  # The usual data folder must stay too: it shows that the redirection took effect.
  mkdir -p "$appdata/Kovra" && echo stay > "$appdata/Kovra/stay.txt"
  w reg add "$shell" /v AppData /t REG_EXPAND_SZ /d 'C:\Program Files' /f >/dev/null
  print=$(fingerprint "$teacher")
  uninstall_keeps_outside 'C:\Apps\KovraPravik\uninstall.exe' 'C:\Apps\KovraPravik' "./Apps/KovraPravik"
  check "the other edition's installation unchanged" [ "$print" = "$(fingerprint "$teacher")" ]
  w reg add "$shell" /v AppData /t REG_EXPAND_SZ /d "$usual" /f >/dev/null
  rm -rf "$teacher" "$appdata/Kovra"

  note "a folder shared with a person's files loses only the product's own files"
  local shared=$C/Shared
  mkdir -p "$shared/photos/2024" && echo thesis > "$shared/thesis.docx"
  echo jpg > "$shared/photos/2024/a.jpg"
  cp "$work/bin/kv_dummy_client.exe" "$shared/KovraPravik.exe"
  cp "$work/bin/kv_dummy_client.exe" "$shared/crash_server.exe"
  cp "$work/bin/uninstall.exe" "$shared/uninstall.exe"
  set_location 'C:\Shared'
  before=$(snapshot)
  pend=$(pending)
  run_uninstall 'C:\Shared\uninstall.exe'
  check "the product's files removed" \
    test ! -e "$shared/KovraPravik.exe" -a ! -e "$shared/crash_server.exe" -a ! -e "$shared/uninstall_new.exe"
  lost=$(lost_outside "$before" ./Shared/KovraPravik.exe ./Shared/crash_server.exe ./Shared/uninstall.exe)
  check "the person's files kept${lost:+: $lost}" [ -z "$lost" ]
  check "their bytes unchanged" test "$(cat "$shared/thesis.docx" "$shared/photos/2024/a.jpg")" = "thesis
jpg"
  reg=$(registered_outside "$pend")
  check "nothing registered for restart${reg:+: $reg}" [ -z "$reg" ]
  rm -rf "$shared"

  note "names that only exact paths reach, in the data folder"
  make_install "$inst"
  mkdir -p "$appdata/Kovra"
  for n in CON aux 'dot.' 'blank ' nul.txt; do echo x > "$appdata/Kovra/$n"; done
  pend=$(pending)
  run_uninstall "$inst\\uninstall.exe"
  reg=$(registered_outside "$pend")
  check "nothing registered for restart${reg:+: $reg}" [ -z "$reg" ]
  check "CON, aux and nul.txt deleted" \
    test ! -e "$appdata/Kovra/CON" -a ! -e "$appdata/Kovra/aux" -a ! -e "$appdata/Kovra/nul.txt"
  rm -rf "$appdata/Kovra" "$idir"
}

# The skinned dialog by screenshots: the progress page part-way, the finished page, the Done
# button under the pointer; and the shadow window by its properties.
suite_look() {
  local inst='C:\Program Files\Kovra\KovraPravik' art=$work/artifacts
  mkdir -p "$art"
  # The dialog font's face is replaced by a CJK font that the system has.
  w reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "宋体" /t REG_SZ \
    /d "WenQuanYi Micro Hei" /f >/dev/null
  make_install "$inst"
  (cd "$C" && wine "$inst\\uninstall.exe" </dev/null >/dev/null 2>&1) &
  local first=$!
  w "$tool" confirm-ok | grep -q answered || fail "look: no confirmation box"

  note "progress page part-way, the worker held"
  # 40 % lies between the removal steps at 30 and 50 %: the worker is held in its sleep between
  # two progress reports, not inside a step that might hold a lock the window needs.
  local percent; percent=$(w "$tool" pause 40 | sed -n 's/^percent //p' | tr -d '\r')
  if [ -n "$percent" ]; then
    check "progress screenshot" kv_uninstaller_shot "$tool" "$art/progress.png"
    check "progress page at $percent%" python3 "$src/uninstall/tests/check_look.py" progress \
      "$art/progress.png" "$percent"
    check "shadow window" w "$tool" shadow
    check "progress page after minimise and restore" kv_uninstaller_shot "$tool" "$art/progress-restored.png"
    check "restored page repainted" python3 "$src/uninstall/tests/check_look.py" progress \
      "$art/progress-restored.png" "$percent"
    w "$tool" resume
  else
    fail "look: progress never paused"
  fi

  note "finished page"
  check "finished page" w "$tool" wait-finished
  check "finished screenshot" kv_uninstaller_shot "$tool" "$art/finished.png"
  check "finished page pixels" python3 "$src/uninstall/tests/check_look.py" finished "$art/finished.png"
  w "$tool" hover
  sleep 2  # the 300 ms fade, with Wine's slow repaints
  check "hover screenshot" kv_uninstaller_shot "$tool" "$art/finished-hover.png"
  check "Done button hover pixels" python3 "$src/uninstall/tests/check_look.py" hover \
    "$art/finished-hover.png"
  local out; out=$(w "$tool" click done)
  check "Done ends the dialog with 0 ($out)" [ "$(echo "$out" | tr -d '\r')" = "exit code 0" ]
  wait "$first"
  wait_for_script
  check "installation folder removed" [ ! -e "$(unix_of "$inst")" ]
}

case "$suite" in
  full) suite_full ;;
  hostile-a) suite_hostile_a ;;
  hostile-b) suite_hostile_b ;;
  look) suite_look ;;
  race) suite_race ;;
  owner) suite_owner ;;
  *) echo "unknown suite $suite"; exit 2 ;;
esac
stop_all
echo "$suite: $failures failure(s)"
[ "$failures" = 0 ]
