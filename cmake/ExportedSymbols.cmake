# export_only_listed(<target> <version-script>)
# Restricts a shared library's export table to the names it documents.
#
# Linux: an anonymous linker version script. Hidden visibility alone is not enough:
# instantiations of standard-library templates would still leak into the table.
# Windows: the module-definition file lying beside the script (same name, .def),
# which lists the export names exactly as callers look them up. Where 32-bit
# callers look names up decorated (stdcall), a <name>-i686.def beside it takes
# its place in 32-bit builds.
function(export_only_listed target script)
  if(WIN32)
    cmake_path(REPLACE_EXTENSION script .def OUTPUT_VARIABLE definitions)
    cmake_path(REMOVE_EXTENSION script OUTPUT_VARIABLE stem)
    set(decorated_definitions ${stem}-i686.def)
    if(CMAKE_SIZEOF_VOID_P EQUAL 4 AND EXISTS ${decorated_definitions})
      set(definitions ${decorated_definitions})
    endif()
    target_sources(${target} PRIVATE ${definitions})
    return()
  endif()
  target_link_options(${target} PRIVATE "LINKER:--version-script=${script}")
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${script})
endfunction()

# carry_origin_runpath(<target>)
# Libraries that lie together find each other: RUNPATH $ORIGIN, in the build
# tree and once installed. (Windows looks beside the program by itself.)
function(carry_origin_runpath target)
  if(WIN32)
    return()
  endif()
  set_target_properties(${target} PROPERTIES
    BUILD_RPATH "$ORIGIN"
    INSTALL_RPATH "$ORIGIN")
  target_link_options(${target} PRIVATE "LINKER:--enable-new-dtags")
endfunction()
