# qvr_install_manual_pages(<component> <page.N.in>...)
# Section-N manual pages: each source (relative to the calling folder) gets the
# project's version (@PROJECT_VERSION@), is compressed as Debian ships manual pages
# (gzip -9 -n: no name or time stamp, so the packages are reproducible) and installs
# to share/man/manN/ with the given component.
function(qvr_install_manual_pages component)
  foreach(source IN LISTS ARGN)
    cmake_path(GET source FILENAME page_in)
    string(REGEX REPLACE "\\.in$" "" page "${page_in}")
    string(REGEX MATCH "[1-9]$" section "${page}")
    if(NOT section)
      message(FATAL_ERROR "manual page ${source}: no section number at the end of its name")
    endif()
    set(page_file ${CMAKE_CURRENT_BINARY_DIR}/man/${page})
    configure_file(${source} ${page_file} @ONLY)
    execute_process(
      COMMAND gzip -9 -n -c ${page_file}
      OUTPUT_FILE ${page_file}.gz
      COMMAND_ERROR_IS_FATAL ANY)
    install(FILES ${page_file}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section} COMPONENT ${component})
  endforeach()
endfunction()
