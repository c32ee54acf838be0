# Screenshot of the uninstaller's main dialog. Source this file, then:
#
#   kv_uninstaller_shot <kv_uitool.exe as wine sees it> <out.png>
#
# Needs DISPLAY (an X server such as Xvfb showing the dialog) and WINEPREFIX (the sandboxed prefix
# the uninstaller runs in), and xwd and ImageMagick's /usr/bin/convert. Crops the root window to
# the dialog's window rectangle. Without a compositing manager X cannot blend the layered shadow
# window, which then covers the dialog (an owned window stays above its owner) as an opaque black
# rectangle; the shadow is hidden for the picture and shown again afterwards. Returns non-zero
# when there is no dialog or no picture.
kv_uninstaller_shot() {
  local tool=$1 out=$2 rect status
  rect=$(wine "$tool" rect </dev/null 2>/dev/null | tr -d '\r')
  # shellcheck disable=SC2086
  set -- $rect
  [ "$#" = 4 ] || return 1
  wine "$tool" shadow-off </dev/null >/dev/null 2>&1
  sleep 0.3
  xwd -root -silent | /usr/bin/convert xwd:- -crop "${3}x${4}+${1}+${2}" +repage "$out"
  status=$?
  wine "$tool" shadow-on </dev/null >/dev/null 2>&1
  [ "$status" = 0 ] && [ -s "$out" ]
}
