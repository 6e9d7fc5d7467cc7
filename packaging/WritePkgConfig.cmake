# Runs at install time (from cmake_install.cmake): writes one pkg-config module whose
# prefix is the prefix being installed to, so that the same build installs into a
# scratch folder and, packed by CPack, into /usr. Expects pc_template, pc_name,
# pc_libdir_rel, pc_includedir_rel, pc_include_subdir (the headers' folder below
# includedir), PROJECT_VERSION and pc_scratch_dir.
set(pc_prefix "${CMAKE_INSTALL_PREFIX}")
foreach(kind IN ITEMS libdir includedir)
  if(IS_ABSOLUTE "${pc_${kind}_rel}")
    set(pc_${kind} "${pc_${kind}_rel}")
  else()
    set(pc_${kind} "\${prefix}/${pc_${kind}_rel}")
  endif()
endforeach()
# Installs may run at the same time (a test and `make package`): one staging file each.
string(MD5 install_key "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
set(staged "${pc_scratch_dir}/${install_key}/${pc_name}.pc")
configure_file("${pc_template}" "${staged}" @ONLY)
if(IS_ABSOLUTE "${pc_libdir_rel}")
  set(pc_destination "${pc_libdir_rel}/pkgconfig")
else()
  set(pc_destination "${CMAKE_INSTALL_PREFIX}/${pc_libdir_rel}/pkgconfig")
endif()
file(INSTALL DESTINATION "${pc_destination}" TYPE FILE FILES "${staged}")
