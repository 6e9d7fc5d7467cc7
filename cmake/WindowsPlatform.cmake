# What a Windows build needs besides the compiler: GoogleTest built from the
# sources Debian ships, and a Wine prefix of the build's own for running tests.

# GoogleTest from source, without the project's warning flags (they are ours to
# keep, not GoogleTest's) and with its headers as system headers for our tests.
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
foreach(gtest_target gtest gtest_main)
  set_property(TARGET ${gtest_target} PROPERTY COMPILE_OPTIONS "")
  get_target_property(gtest_includes ${gtest_target} INTERFACE_INCLUDE_DIRECTORIES)
  set_property(TARGET ${gtest_target} PROPERTY INTERFACE_SYSTEM_INCLUDE_DIRECTORIES "${gtest_includes}")
endforeach()

# Every test runs in the same scratch Wine prefix, quietly and without the
# prompts a fresh prefix would otherwise raise for the .NET and HTML runtimes.
set(QVR_WINE_ENVIRONMENT
  "WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix"
  "WINEDEBUG=-all"
  "WINEDLLOVERRIDES=mscoree,mshtml=")

# 32-bit Wine (wine32, from the i386 architecture) cannot always be installed: a
# package mirror may serve i386 indexes that do not match its Release file. Without
# the loader the tests that need it say so and are skipped (exit 77); the build,
# and the checks that read the program files on the host, still run.
if(EXISTS "${QVR_WINE}")
  set(QVR_WINE_SKIP "")
else()
  message(WARNING "${QVR_WINE} is missing: the tests that run programs under Wine are skipped")
  set(QVR_WINE_SKIP sh -c "echo '${QVR_WINE} is not installed: skipped' && exit 77")
endif()

# add_wine_command_test(<name> <command...>): a test whose command needs Wine.
function(add_wine_command_test name)
  if(QVR_WINE_SKIP)
    add_test(NAME ${name} COMMAND ${QVR_WINE_SKIP})
  else()
    add_test(NAME ${name} COMMAND ${ARGN})
  endif()
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "${QVR_WINE_ENVIRONMENT}" SKIP_RETURN_CODE 77)
endfunction()

# The prefix is made once, before any test, so that two tests never race to make it.
add_wine_command_test(windows.wine_prefix
  ${CMAKE_COMMAND} -E env ${QVR_WINE_ENVIRONMENT} ${PROJECT_SOURCE_DIR}/scripts/wine-prefix ${QVR_WINE})
set_tests_properties(windows.wine_prefix PROPERTIES FIXTURES_SETUP wine_prefix TIMEOUT 300)

# add_wine_test(<name> <program> <arguments...>): a test that runs a Windows program
# (a target or a path) under Wine in the prefix.
function(add_wine_test name program)
  if(TARGET ${program})
    set(program $<TARGET_FILE:${program}>)
  endif()
  add_wine_command_test(${name} ${QVR_WINE} ${program} ${ARGN})
  set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine_prefix)
endfunction()
