# The uninstaller's look: plain computations (built everywhere, tested natively), the artwork tool
# (native only), and the Win32 skin classes (WIN32 only).

set(kv_skin_dir "${CMAKE_CURRENT_LIST_DIR}")
set(kv_skin_art_dir "${PROJECT_SOURCE_DIR}/tools/skin_art")
set(kv_skin_res_dir "${PROJECT_SOURCE_DIR}/uninstall/res")

# Shadow picture, progress geometry, nine-slice plan, button looks, fade timing: no <windows.h>.
add_library(kv_skin_core STATIC
  "${kv_skin_dir}/shadow_image.cpp"
  "${kv_skin_dir}/skin_layout.cpp")
target_include_directories(kv_skin_core PUBLIC "${kv_skin_dir}")

if(WIN32)
  include("${kv_skin_dir}/skin_win.cmake")
endif()

if(NOT KV_FULL_BUILD)
  return()
endif()

kv_add_test(kv_skin_core_test
  SOURCES "${kv_skin_dir}/shadow_image_test.cpp" "${kv_skin_dir}/skin_layout_test.cpp"
  LIBS kv_skin_core)

if(WIN32)
  return()
endif()

# The artwork tool (native only: it needs the host's zlib). Regenerate the committed PNGs with
#   build/native/bin/skin_art uninstall/res
find_package(ZLIB REQUIRED)
add_library(kv_skin_art STATIC "${kv_skin_art_dir}/png_codec.cpp" "${kv_skin_art_dir}/skin_art.cpp")
target_include_directories(kv_skin_art PUBLIC "${kv_skin_art_dir}")
target_link_libraries(kv_skin_art PUBLIC ZLIB::ZLIB)
add_executable(skin_art "${kv_skin_art_dir}/main.cpp")
target_link_libraries(skin_art PRIVATE kv_skin_art)

kv_add_test(kv_skin_art_test
  SOURCES "${kv_skin_art_dir}/skin_art_test.cpp"
  LIBS kv_skin_art kv_skin_core)
target_compile_definitions(kv_skin_art_test PRIVATE KV_SKIN_RES_DIR="${kv_skin_res_dir}")
