# Where `cmake --install` puts things (GNUInstallDirs).
#
# Libraries: on Debian, the multiarch folder lib/<triplet> (lib/x86_64-linux-gnu),
# whatever the prefix. GNUInstallDirs picks it by itself only for the prefix /usr,
# but the Debian packages are packed from a build configured with any prefix, and
# the loader also searches <prefix>/lib/<triplet> under /usr/local.
# -DCMAKE_INSTALL_LIBDIR=lib chooses the plain folder.
#
# Headers: QVR_INSTALL_INCLUDEDIR, a folder of the project's own under include/, so
# that their plain names (reader_api.h, convert_api.h) meet no other package's; the
# CMake package and the pkg-config modules add it to the include path.
#
# Folders are created world-readable whatever the umask of the user who packs, as
# Debian packages expect.
# Build folders configured before this default kept the plain folder in their cache
# under the old description: they take the new default once.
get_property(qvr_libdir_help CACHE CMAKE_INSTALL_LIBDIR PROPERTY HELPSTRING)
if(qvr_libdir_help STREQUAL "Object code libraries (lib)" AND CMAKE_INSTALL_LIBDIR STREQUAL "lib")
  unset(CMAKE_INSTALL_LIBDIR CACHE)
endif()
if(NOT WIN32 AND CMAKE_LIBRARY_ARCHITECTURE)
  set(CMAKE_INSTALL_LIBDIR lib/${CMAKE_LIBRARY_ARCHITECTURE} CACHE PATH "Object code libraries (lib/<multiarch triplet>)")
else()
  set(CMAKE_INSTALL_LIBDIR lib CACHE PATH "Object code libraries")
endif()
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(GNUInstallDirs)
set(QVR_INSTALL_INCLUDE_SUBDIR quenvaria)
set(QVR_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/${QVR_INSTALL_INCLUDE_SUBDIR})

# JNI libraries: lib/jni, Debian's folder for them (/usr/lib/jni is on the JVM's
# default java.library.path), outside the loader's folders, whatever LIBDIR is.
set(QVR_INSTALL_JNIDIR lib/jni)
