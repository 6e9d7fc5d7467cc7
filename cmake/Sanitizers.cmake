# Optional instrumented builds, each in a build directory of its own:
#   -DQVR_SANITIZE=ON  AddressSanitizer + UndefinedBehaviorSanitizer (LeakSanitizer comes
#                      with AddressSanitizer on Linux); any report aborts the test.
#   -DQVR_FUZZ=ON      the same, plus libFuzzer coverage instrumentation (clang only),
#                      and the fuzz targets in fuzz/.
option(QVR_SANITIZE "Build everything with ASan, UBSan and LSan" OFF)
option(QVR_FUZZ "Build the libFuzzer targets (needs clang)" OFF)

if(QVR_SANITIZE OR QVR_FUZZ)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
if(QVR_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "QVR_FUZZ needs clang: configure with CC=clang CXX=clang++")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
