# Debian's hardening flags (as dpkg-buildflags gives them with hardening=+all) for
# every ELF file the project builds: a stack protector on functions with local
# arrays, fortified libc calls where the buffer size is known at compile time,
# relocations made read-only after loading, and every symbol bound at start-up so
# that the table stays read-only too. `ctest -R hardening` checks the built files.
#
# Windows builds PE files and keeps its own settings. _FORTIFY_SOURCE needs an
# optimising build (glibc warns otherwise, and warnings are errors here), and the
# instrumented builds leave it out: the sanitizers intercept the plain libc calls,
# not their checked variants.
if(WIN32)
  return()
endif()

add_compile_options(-fstack-protector-strong)
add_link_options(LINKER:-z,relro LINKER:-z,now)
if(NOT (QVR_SANITIZE OR QVR_FUZZ))
  add_compile_definitions($<$<NOT:$<CONFIG:Debug>>:_FORTIFY_SOURCE=2>)
endif()
