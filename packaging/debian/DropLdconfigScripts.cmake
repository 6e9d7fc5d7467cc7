# Run by CPack once the packages are built (CPACK_POST_BUILD_SCRIPTS), with
# CPACK_PACKAGE_FILES naming them.
#
# CPack gives every package with a shared library under /usr/lib a postinst and a
# postrm that run ldconfig. Debian packages leave that to dpkg's ldconfig trigger
# (triggers: activate-noawait ldconfig), which the packages with libraries in the
# loader's folders declare, and a library outside those folders (the JNI library
# in /usr/lib/jni, loaded by the JVM by its path) needs no cache at all. The two
# scripts are taken out again wherever they hold exactly CPack's ldconfig call and
# nothing else; any other maintainer script is left as it is.
set(cpack_ldconfig_postinst "#!/bin/sh\n\nset -e\n\nif [ \"$1\" = \"configure\" ]; then\n\tldconfig\nfi\n")
set(cpack_ldconfig_postrm "#!/bin/sh\n\nset -e\n\nif [ \"$1\" = \"remove\" ]; then\n\tldconfig\nfi\n")

foreach(deb IN LISTS CPACK_PACKAGE_FILES)
  set(tree "${deb}.tree")
  file(REMOVE_RECURSE "${tree}")
  execute_process(COMMAND dpkg-deb --raw-extract "${deb}" "${tree}" COMMAND_ERROR_IS_FATAL ANY)
  set(dropped FALSE)
  foreach(script IN ITEMS postinst postrm)
    set(script_file "${tree}/DEBIAN/${script}")
    if(EXISTS "${script_file}")
      file(READ "${script_file}" content)
      if(content STREQUAL "${cpack_ldconfig_${script}}")
        file(REMOVE "${script_file}")
        set(dropped TRUE)
      endif()
    endif()
  endforeach()
  if(dropped)
    # Owner root for every file whoever packs, and the compression CPack used.
    execute_process(
      COMMAND dpkg-deb --root-owner-group -Zxz --build "${tree}" "${deb}"
      OUTPUT_QUIET
      COMMAND_ERROR_IS_FATAL ANY)
  endif()
  file(REMOVE_RECURSE "${tree}")
endforeach()
