# The uninstaller's engine: portable rules (tested natively), the Win32 seam, the dialog
# behaviour and the program itself.
set(kv_uninstall_dir "${CMAKE_CURRENT_LIST_DIR}")

# Sources are UTF-8; wide literals (the Chinese texts) become UTF-16 in the binary.
add_library(uninstall_core STATIC
  ${kv_uninstall_dir}/edition.cpp
  ${kv_uninstall_dir}/path_guard.cpp
  ${kv_uninstall_dir}/rules.cpp
  ${kv_uninstall_dir}/self_delete_script.cpp
  ${kv_uninstall_dir}/sequence.cpp)
target_include_directories(uninstall_core PUBLIC ${kv_uninstall_dir})
target_compile_options(uninstall_core PUBLIC -finput-charset=UTF-8)

if(KV_FULL_BUILD)
  kv_add_test(uninstall_core_test SOURCES ${kv_uninstall_dir}/tests/core_test.cpp
              LIBS uninstall_core)
endif()

if(NOT WIN32)
  return()
endif()

add_library(uninstall_win STATIC
  ${kv_uninstall_dir}/folder_removal_win.cpp
  ${kv_uninstall_dir}/removal_win.cpp
  ${kv_uninstall_dir}/uninstall_context.cpp
  ${kv_uninstall_dir}/ui/message_loop.cpp
  ${kv_uninstall_dir}/ui/window_impl.cpp)
target_link_libraries(uninstall_win PUBLIC uninstall_core psapi shlwapi shell32 ole32 oleaut32
                      comctl32 user32 gdi32 advapi32)

# The main dialog on the skin classes (ui/skin_win.cmake).
add_library(uninstall_ui STATIC ${kv_uninstall_dir}/ui/main_dlg.cpp)
target_link_libraries(uninstall_ui PUBLIC uninstall_win kv_skin_win)

add_executable(uninstall WIN32 ${kv_uninstall_dir}/entry.cpp ${kv_uninstall_dir}/res/uninstall.rc)
target_link_libraries(uninstall PRIVATE uninstall_ui)
target_link_options(uninstall PRIVATE -municode)
# windres reads the resource script as UTF-8 so the Chinese template texts come out right.
set_source_files_properties(${kv_uninstall_dir}/res/uninstall.rc PROPERTIES
  COMPILE_OPTIONS "-c;65001"
  OBJECT_DEPENDS "${kv_uninstall_dir}/res/uninstall.manifest;${kv_uninstall_dir}/res/app.ico;${kv_uninstall_dir}/res/background.png;${kv_uninstall_dir}/res/close.png;${kv_uninstall_dir}/res/track.png;${kv_uninstall_dir}/res/fill.png;${kv_uninstall_dir}/res/uninstalling.png;${kv_uninstall_dir}/res/finished.png;${kv_uninstall_dir}/res/button.png")

kv_add_test(uninstall_win_test SOURCES ${kv_uninstall_dir}/tests/win_test.cpp
            LIBS uninstall_win)
# The script text once more under a Chinese system code page (936, two bytes per character).
add_test(NAME uninstall_win_test.cp936 COMMAND uninstall_win_test --gtest_filter=ScriptText.*)
set_tests_properties(uninstall_win_test.cp936 PROPERTIES
  ENVIRONMENT "LANG=zh_CN.UTF-8;LC_ALL=zh_CN.UTF-8;KV_EXPECT_ACP=936" LABELS "win32" TIMEOUT 120)

# Test helpers of the end-to-end tests: a stand-in client process and a UI-automation tool.
add_executable(kv_dummy_client WIN32 ${kv_uninstall_dir}/tests/dummy_client.cpp)
target_link_options(kv_dummy_client PRIVATE -municode)
# The process test starts copies of it from beside the test program.
add_dependencies(uninstall_win_test kv_dummy_client)
add_executable(kv_uitool ${kv_uninstall_dir}/tests/uitool.cpp)
target_compile_options(kv_uitool PRIVATE -finput-charset=UTF-8)
target_include_directories(kv_uitool PRIVATE ${kv_uninstall_dir})
target_link_options(kv_uitool PRIVATE -municode)
target_link_libraries(kv_uitool PRIVATE ole32 oleaut32 psapi user32 advapi32)

# The interpreter by path: as an executable target the cross build would run it under Wine.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
# Properties of the 32-bit deliverable: its image type and imports (read from the file, "static"),
# and the registry view a 32-bit process gets in a 64-bit prefix. The 64-bit test build skips both.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  add_test(NAME uninstall.imports
           COMMAND "${Python3_EXECUTABLE}" "${kv_uninstall_dir}/tests/check_imports.py"
                   ${CMAKE_OBJDUMP} $<TARGET_FILE:uninstall>)
  set_tests_properties(uninstall.imports PROPERTIES LABELS "e2e;static")
  add_test(NAME uninstall.wow64
           COMMAND bash "${kv_uninstall_dir}/tests/wow64.sh" "${CMAKE_BINARY_DIR}/bin"
                   "${CMAKE_SOURCE_DIR}")
  set_tests_properties(uninstall.wow64 PROPERTIES LABELS "e2e" TIMEOUT 300)
endif()

foreach(suite full hostile-a hostile-b race owner look)
  add_test(NAME uninstall.e2e.${suite}
           COMMAND bash "${kv_uninstall_dir}/tests/e2e.sh" ${suite} "${CMAKE_BINARY_DIR}/bin"
                   "${CMAKE_SOURCE_DIR}")
  set_tests_properties(uninstall.e2e.${suite} PROPERTIES LABELS "e2e" TIMEOUT 600)
endforeach()
