# export_only_listed(<target> <version-script>)
# Restricts a shared library's dynamic symbol table to the names in an anonymous
# linker version script. Hidden visibility alone is not enough: instantiations of
# standard-library templates would still leak into the table.
function(export_only_listed target script)
  target_link_options(${target} PRIVATE "LINKER:--version-script=${script}")
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${script})
endfunction()

# carry_origin_runpath(<target>)
# Libraries that lie together find each other: RUNPATH $ORIGIN, in the build
# tree and once installed.
function(carry_origin_runpath target)
  set_target_properties(${target} PROPERTIES
    BUILD_RPATH "$ORIGIN"
    INSTALL_RPATH "$ORIGIN")
  target_link_options(${target} PRIVATE "LINKER:--enable-new-dtags")
endfunction()
