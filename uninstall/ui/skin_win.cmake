# Win32 skin classes and their test program (run under Wine on a private Xvfb display).

add_library(kv_skin_win STATIC
  "${kv_skin_dir}/skin_win.cpp"
  "${kv_skin_dir}/skin_resources.cpp"
  "${kv_skin_dir}/simple_controls.cpp"
  "${kv_skin_dir}/bitmap_button.cpp"
  "${kv_skin_dir}/wnd_shadow.cpp")
target_link_libraries(kv_skin_win PUBLIC kv_skin_core uninstall_win gdiplus msimg32 comctl32 ole32 gdi32
                      user32)

if(NOT KV_FULL_BUILD)
  return()
endif()

configure_file("${kv_skin_dir}/skin_test.rc.in" "${CMAKE_CURRENT_BINARY_DIR}/skin_test.rc" @ONLY)
set(kv_saved_emulator "${CMAKE_CROSSCOMPILING_EMULATOR}")
set(CMAKE_CROSSCOMPILING_EMULATOR "${kv_skin_dir}/run_with_xvfb.sh;${kv_saved_emulator}")
kv_add_test(kv_skin_win_test
  SOURCES "${kv_skin_dir}/skin_win_test.cpp" "${CMAKE_CURRENT_BINARY_DIR}/skin_test.rc"
  LIBS kv_skin_win
  LABELS gui)
set(CMAKE_CROSSCOMPILING_EMULATOR "${kv_saved_emulator}")
