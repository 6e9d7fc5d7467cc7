# Where `cmake --install` puts things. Libraries go to <prefix>/lib unless the
# caller chooses otherwise (-DCMAKE_INSTALL_LIBDIR=lib/x86_64-linux-gnu for a
# multiarch layout): GNUInstallDirs alone would pick the multiarch folder for a
# /usr prefix on Debian. Folders are created world-readable whatever the umask of
# the user who packs, as Debian packages expect.
set(CMAKE_INSTALL_LIBDIR lib CACHE PATH "Object code libraries (lib)")
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(GNUInstallDirs)
