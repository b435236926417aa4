# GoogleTest from Debian's sources, compiled for whichever target this build is for.
set(GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(${GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# pelmora_unit_test(NAME SOURCES... LIBS ...): a unit test program that runs in both builds
# (natively under the sanitizers, and under Wine in the Windows build). Every test starts
# with a fresh simulated computer installed behind all platform seams (tests/support).
function(pelmora_unit_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} pelmora_test_support GTest::gmock)
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  set_tests_properties(${name} PROPERTIES LABELS unit TIMEOUT 600)
endfunction()

# pelmora_integration_test(NAME SOURCES... LIBS ...): runs only in the Windows build, under
# Wine, against the real platform.
function(pelmora_integration_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;ENVIRONMENT" ${ARGN})
  if(NOT PELMORA_WINDOWS)
    return()
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gmock GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests/support)
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  set_tests_properties(${name} PROPERTIES LABELS integration TIMEOUT 900
                       ENVIRONMENT "${T_ENVIRONMENT}")
endfunction()

# pelmora_fuzzer(NAME SOURCES... LIBS ... SECONDS n DICT file): a libFuzzer target (native clang build),
# run for a fixed, short time as part of the test suite.
function(pelmora_fuzzer name)
  cmake_parse_arguments(T "" "SECONDS;DICT" "SOURCES;LIBS" ${ARGN})
  if(PELMORA_WINDOWS OR NOT PELMORA_FUZZ)
    return()
  endif()
  if(NOT T_SECONDS)
    set(T_SECONDS 20)
  endif()
  add_executable(${name} ${T_SOURCES})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE ${T_LIBS} pelmora_sim)
  set(extra)
  if(T_DICT)
    set(extra -dict=${CMAKE_CURRENT_SOURCE_DIR}/${T_DICT})
  endif()
  add_test(NAME ${name}
           COMMAND ${name} -max_total_time=${T_SECONDS} -rss_limit_mb=2048 -print_final_stats=1
                   ${extra})
  set_tests_properties(${name} PROPERTIES LABELS fuzz TIMEOUT 300)
endfunction()
