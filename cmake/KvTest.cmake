include(GoogleTest)
enable_testing()

# Targets of the tests that the ThreadSanitizer preset builds and runs (label "tsan").
add_custom_target(kv_tsan_tests)

# kv_add_test(<name> SOURCES <files...> [LIBS <targets...>] [LABELS <labels...>] [TSAN])
# One GoogleTest program; each test case becomes one ctest test (run under Wine for win32).
# TSAN marks a program that also builds and runs in the native-tsan preset.
function(kv_add_test name)
  cmake_parse_arguments(arg "TSAN" "" "SOURCES;LIBS;LABELS" ${ARGN})
  if(KV_SANITIZE STREQUAL "thread" AND NOT arg_TSAN)
    return()
  endif()
  if(KV_FUZZ)
    return()  # the fuzzing build holds the fuzzer only
  endif()
  add_executable(${name} ${arg_SOURCES})
  target_link_libraries(${name} PRIVATE ${arg_LIBS} GTest::gtest_main GTest::gmock)
  set(labels ${arg_LABELS})
  if(arg_TSAN)
    list(APPEND labels tsan)
    add_dependencies(kv_tsan_tests ${name})
  endif()
  if(WIN32)
    list(APPEND labels win32)
  else()
    list(APPEND labels native)
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                       PROPERTIES LABELS "${labels}" TIMEOUT 120)
endfunction()

# True in the libFuzzer build (clang, preset "fuzz"): everything is instrumented for coverage and
# only the fuzzer and its test are built.
if("fuzzer-no-link" IN_LIST KV_SANITIZE)
  set(KV_FUZZ ON)
else()
  set(KV_FUZZ OFF)
endif()

# True when this build configuration builds everything (not only the ThreadSanitizer subset or the
# fuzzer).
if(KV_SANITIZE STREQUAL "thread" OR KV_FUZZ)
  set(KV_FULL_BUILD OFF)
else()
  set(KV_FULL_BUILD ON)
endif()
