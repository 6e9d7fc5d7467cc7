# How the stack reaches C, C++ and Java developers once built: a CMake package
# (find_package(QuenvariaReaderStack) with Quenvaria::QVR-ACR122 and Quenvaria::Hexkit),
# pkg-config modules (qvr-acr122, hexkit), Debian packages built by CPack
# (`make package`), and the consumer tests that use an installed tree.
#
# Install components and the Debian package each becomes:
#   HexkitRuntime      libhexkit1         libHexkit.so.1*
#   HexkitDevelopment  libhexkit-dev      libHexkit.so, convert_api.h, hexkit.pc
#   ReaderRuntime      libqvr-acr122-1    libQVR-ACR122.so.1*, and libQVR-ACR122.so, the
#                                         name the Java bridge loads at run time; the
#                                         kernel-module blacklist and the polkit rule
#   ReaderDevelopment  libqvr-acr122-dev  reader_api.h, qvr-acr122.pc, the CMake package
#   Ferrow             libferrow-jni      libFerrow.so in lib/jni (Debian's folder for JNI
#                                         libraries), ferrow-java.jar, JMain.java
#   Vanto              vanto              the launcher and its shortcut in lib/vanto, the link
#                                         bin/Vanto, the .url handler, icon, menu entries,
#                                         manual pages
#   Tools              qvr-tools          qvr-probe, the virtual reader and its scenarios,
#                                         manual pages
include(CMakePackageConfigHelpers)

set(QVR_PACKAGE_COMPONENTS
  HexkitRuntime HexkitDevelopment ReaderRuntime ReaderDevelopment Ferrow Vanto Tools)
set(QVR_DEB_NAME_HexkitRuntime libhexkit1)
set(QVR_DEB_NAME_HexkitDevelopment libhexkit-dev)
set(QVR_DEB_NAME_ReaderRuntime libqvr-acr122-1)
set(QVR_DEB_NAME_ReaderDevelopment libqvr-acr122-dev)
set(QVR_DEB_NAME_Ferrow libferrow-jni)
set(QVR_DEB_NAME_Vanto vanto)
set(QVR_DEB_NAME_Tools qvr-tools)

set(QVR_DEB_SOURCE quenvaria-reader-stack)
set(QVR_DEB_RELEASE 1)
set(QVR_DEB_VERSION ${PROJECT_VERSION}-${QVR_DEB_RELEASE})
set(QVR_DEB_MAINTAINER "Quenvaria reader stack developers <reader-stack@quenvaria.example>")

# --- CMake package -----------------------------------------------------------------
set(QVR_CMAKE_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/QuenvariaReaderStack)
install(EXPORT QuenvariaReaderStackTargets
  NAMESPACE Quenvaria::
  DESTINATION ${QVR_CMAKE_PACKAGE_DIR}
  COMPONENT ReaderDevelopment)
configure_package_config_file(
  ${PROJECT_SOURCE_DIR}/packaging/QuenvariaReaderStackConfig.cmake.in
  ${PROJECT_BINARY_DIR}/packaging/QuenvariaReaderStackConfig.cmake
  INSTALL_DESTINATION ${QVR_CMAKE_PACKAGE_DIR})
write_basic_package_version_file(
  ${PROJECT_BINARY_DIR}/packaging/QuenvariaReaderStackConfigVersion.cmake
  VERSION ${PROJECT_VERSION}
  COMPATIBILITY SameMajorVersion)
install(FILES
  ${PROJECT_BINARY_DIR}/packaging/QuenvariaReaderStackConfig.cmake
  ${PROJECT_BINARY_DIR}/packaging/QuenvariaReaderStackConfigVersion.cmake
  DESTINATION ${QVR_CMAKE_PACKAGE_DIR}
  COMPONENT ReaderDevelopment)

# --- pkg-config modules ------------------------------------------------------------
# Written at install time, so that their prefix is the one installed to: a scratch
# folder for `cmake --install --prefix`, /usr inside the Debian packages.
function(qvr_install_pkg_config name component)
  install(CODE "
    set(pc_template \"${PROJECT_SOURCE_DIR}/packaging/${name}.pc.in\")
    set(pc_name \"${name}\")
    set(pc_libdir_rel \"${CMAKE_INSTALL_LIBDIR}\")
    set(pc_includedir_rel \"${CMAKE_INSTALL_INCLUDEDIR}\")
    set(pc_include_subdir \"${QVR_INSTALL_INCLUDE_SUBDIR}\")
    set(pc_scratch_dir \"${PROJECT_BINARY_DIR}/packaging/pkgconfig-staging\")
    set(PROJECT_VERSION \"${PROJECT_VERSION}\")
    include(\"${PROJECT_SOURCE_DIR}/packaging/WritePkgConfig.cmake\")
    " COMPONENT ${component})
endfunction()
qvr_install_pkg_config(qvr-acr122 ReaderDevelopment)
qvr_install_pkg_config(hexkit HexkitDevelopment)

# --- What a real reader needs from the system ----------------------------------------
# The kernel's NFC drivers must leave the reader to pcscd: a modprobe blacklist in
# <sysconfdir>/modprobe.d, which is /etc for the prefix /usr (the packages), as
# GNUInstallDirs has it; chosen at install time, as the prefix is. And a polkit rule
# that admits the group plugdev to pcscd where pcscd asks polkit.
install(CODE "
  if(CMAKE_INSTALL_PREFIX MATCHES \"^/usr/?$\")
    set(qvr_modprobe_dir /etc/modprobe.d)
  else()
    set(qvr_modprobe_dir \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_SYSCONFDIR}/modprobe.d\")
  endif()
  file(INSTALL DESTINATION \"\${qvr_modprobe_dir}\" TYPE FILE
       FILES \"${PROJECT_SOURCE_DIR}/packaging/system/blacklist-qvr-acr122.conf\")
  " COMPONENT ReaderRuntime)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/system/60-qvr-acr122-pcscd.rules
  DESTINATION ${CMAKE_INSTALL_DATADIR}/polkit-1/rules.d
  COMPONENT ReaderRuntime)

# --- Manual pages of the virtual reader's programs (docs/man) ------------------------
# Each with its program, so that a virtual reader laid out differently installs
# only the pages of the programs it has.
foreach(page_and_program IN ITEMS
        virtual-reader:virtual-reader-ctl virtual-acr122u:virtual-acr122u
        virtual-reader-ctl:virtual-reader-ctl virtual-reader-wait:virtual-reader-wait)
  string(REPLACE ":" ";" page_and_program ${page_and_program})
  list(GET page_and_program 0 page)
  list(GET page_and_program 1 program)
  if(TARGET ${program})
    qvr_install_manual_pages(Tools docs/man/${page}.1.in)
  endif()
endforeach()

# --- Documentation: every package carries its own copy, as Debian wants -------------
configure_file(${PROJECT_SOURCE_DIR}/packaging/debian/changelog.in
               ${PROJECT_BINARY_DIR}/packaging/debian/changelog.Debian @ONLY)
execute_process(
  COMMAND gzip -9 -n -c ${PROJECT_BINARY_DIR}/packaging/debian/changelog.Debian
  OUTPUT_FILE ${PROJECT_BINARY_DIR}/packaging/debian/changelog.Debian.gz
  COMMAND_ERROR_IS_FATAL ANY)
# `cmake --install --component Vanto` lays out exactly the launcher, so its package's
# documentation is a component of its own, packed into the same package (group Vanto).
set(QVR_DOC_COMPONENT_Vanto VantoDocumentation)
set(QVR_DEB_NAME_VantoDocumentation vanto)
set(CPACK_COMPONENT_VANTO_GROUP Vanto)
set(CPACK_COMPONENT_VANTODOCUMENTATION_GROUP Vanto)
foreach(component IN LISTS QVR_PACKAGE_COMPONENTS)
  if(DEFINED QVR_DOC_COMPONENT_${component})
    set(component ${QVR_DOC_COMPONENT_${component}})
  endif()
  set(package ${QVR_DEB_NAME_${component}})
  install(FILES
    ${PROJECT_SOURCE_DIR}/README.md
    ${PROJECT_SOURCE_DIR}/LICENSE
    ${PROJECT_SOURCE_DIR}/packaging/debian/copyright
    ${PROJECT_BINARY_DIR}/packaging/debian/changelog.Debian.gz
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package}
    COMPONENT ${component})
  # What lintian (Debian's package checker) is to accept in this package, each entry
  # with its reason: the entries every package has, then its own.
  set(libdir usr/${CMAKE_INSTALL_LIBDIR})
  set(overrides ${PROJECT_BINARY_DIR}/packaging/lintian/${package})
  configure_file(${PROJECT_SOURCE_DIR}/packaging/debian/lintian/all.in ${overrides} @ONLY)
  set(own_overrides ${PROJECT_SOURCE_DIR}/packaging/debian/lintian/${package}.in)
  if(EXISTS ${own_overrides})
    configure_file(${own_overrides} ${overrides}.own @ONLY)
    file(READ ${overrides}.own own_text)
    file(APPEND ${overrides} "${own_text}")
  endif()
  install(FILES ${overrides}
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides
    COMPONENT ${component})
endforeach()

# --- Debian packages ---------------------------------------------------------------
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${QVR_DEB_SOURCE})
set(CPACK_PACKAGE_VENDOR "Quenvaria reader stack developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${QVR_DEB_MAINTAINER}")
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_PREFIX /usr)
# The install runs with DESTDIR and CMAKE_INSTALL_PREFIX=/usr, so that the pkg-config
# modules written at install time say prefix=/usr.
set(CPACK_SET_DESTDIR ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL ${QVR_PACKAGE_COMPONENTS} VantoDocumentation)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${QVR_DEB_RELEASE})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QVR_DEB_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SOURCE ${QVR_DEB_SOURCE})
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# shlibs and the ldconfig trigger for the packages that carry versioned libraries.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY "=")
# Library dependencies from the binaries themselves (dpkg-dev). Libraries of this
# project are found in the build tree and named explicitly below.
find_program(QVR_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(QVR_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_LIBRARY_OUTPUT_DIRECTORY})
else()
  message(STATUS "dpkg-shlibdeps not found (package dpkg-dev): Debian packages get no library dependencies")
endif()

# Packages with libraries in the loader's folders refresh its cache through dpkg's
# ldconfig trigger and have no maintainer scripts: CPack's own, which would call
# ldconfig directly, are taken out of the built packages again.
foreach(component IN ITEMS HEXKITRUNTIME READERRUNTIME)
  set(CPACK_DEBIAN_${component}_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/packaging/debian/triggers)
endforeach()
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/packaging/debian/DropLdconfigScripts.cmake)
# The blacklist in /etc is a configuration file: dpkg keeps an administrator's changes.
list(APPEND CPACK_DEBIAN_READERRUNTIME_PACKAGE_CONTROL_EXTRA
  ${PROJECT_SOURCE_DIR}/packaging/debian/libqvr-acr122-1/conffiles)

set(qvr_exact "(= ${QVR_DEB_VERSION})")
set(qvr_common_description
  "Contactless cards (ISO/IEC 14443 Type A and B, FeliCa) through an ACR122U\nreader (PN532 inside) reached over PC/SC with pcsc-lite.")

set(CPACK_DEBIAN_HEXKITRUNTIME_PACKAGE_NAME libhexkit1)
set(CPACK_DEBIAN_HEXKITRUNTIME_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_HEXKITRUNTIME_DESCRIPTION
  "hex text, ISO/IEC 14443 CRC and INI profile strings\nlibHexkit converts hex text to bytes and back, computes the ISO/IEC 14443 CRC_A\nand CRC_B, and reads and writes INI profile strings with locked, atomic\nreplacement of the file. It serves the ACR122U reader library.\n\nThis package contains the shared library.")

set(CPACK_DEBIAN_HEXKITDEVELOPMENT_PACKAGE_NAME libhexkit-dev)
set(CPACK_DEBIAN_HEXKITDEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_HEXKITDEVELOPMENT_PACKAGE_DEPENDS "libhexkit1 ${qvr_exact}")
set(CPACK_DEBIAN_HEXKITDEVELOPMENT_DESCRIPTION
  "hex text, ISO/IEC 14443 CRC and INI profile strings - development files\nlibHexkit converts hex text to bytes and back, computes the ISO/IEC 14443 CRC_A\nand CRC_B, and reads and writes INI profile strings.\n\nThis package contains the C++ header convert_api.h, the link-time library name\nand the pkg-config module hexkit.")

set(CPACK_DEBIAN_READERRUNTIME_PACKAGE_NAME libqvr-acr122-1)
set(CPACK_DEBIAN_READERRUNTIME_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_READERRUNTIME_PACKAGE_DEPENDS "libhexkit1 ${qvr_exact}")
set(CPACK_DEBIAN_READERRUNTIME_PACKAGE_RECOMMENDS pcscd)
set(CPACK_DEBIAN_READERRUNTIME_DESCRIPTION
  "ACR122U contactless reader access library\n${qvr_common_description}\nSixteen C functions connect to the reader, poll for cards and exchange\ncommands with them.\n\nThis package contains the shared library, including the unversioned name\nlibQVR-ACR122.so that the Java bridge loads at run time, a modprobe blacklist\nthat keeps the kernel's NFC drivers (pn533, pn533_usb, nfc) away from the\nreader, and a polkit rule that lets members of the group plugdev use pcscd.")

set(CPACK_DEBIAN_READERDEVELOPMENT_PACKAGE_NAME libqvr-acr122-dev)
set(CPACK_DEBIAN_READERDEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_READERDEVELOPMENT_PACKAGE_DEPENDS
  "libqvr-acr122-1 ${qvr_exact}, libhexkit-dev ${qvr_exact}, libpcsclite-dev")
set(CPACK_DEBIAN_READERDEVELOPMENT_DESCRIPTION
  "ACR122U contactless reader access library - development files\n${qvr_common_description}\n\nThis package contains the C header reader_api.h, the pkg-config module\nqvr-acr122 and the CMake package QuenvariaReaderStack with the imported\ntargets Quenvaria::QVR-ACR122 and Quenvaria::Hexkit.")

set(CPACK_DEBIAN_FERROW_PACKAGE_NAME libferrow-jni)
set(CPACK_DEBIAN_FERROW_PACKAGE_SECTION java)
set(CPACK_DEBIAN_FERROW_PACKAGE_DEPENDS
  "default-jre-headless | java-runtime-headless, libqvr-acr122-1 ${qvr_exact}")
set(CPACK_DEBIAN_FERROW_PACKAGE_RECOMMENDS pcscd)
set(CPACK_DEBIAN_FERROW_DESCRIPTION
  "Java bridge to the ACR122U contactless reader library\n${qvr_common_description}\nlibFerrow implements the native methods of the Java class JMain over the reader\nlibrary, which it loads at run time.\n\nThis package contains the JNI library in /usr/lib/jni (on Java's default\nlibrary path), the demo jar ferrow-java.jar and the source of JMain.")

set(CPACK_DEBIAN_VANTO_PACKAGE_NAME vanto)
set(CPACK_DEBIAN_VANTO_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_VANTO_PACKAGE_DEPENDS xdg-utils)
set(CPACK_DEBIAN_VANTO_DESCRIPTION
  "launcher for the Quenvaria top-up and shop page\nVanto opens the internet shortcut that lies beside it with the desktop's\ndefault handler and exits at once. The package adds a menu entry, an icon and\na handler for .url shortcut files.")

set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME qvr-tools)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_TOOLS_PACKAGE_DEPENDS "libqvr-acr122-1 ${qvr_exact}")
set(CPACK_DEBIAN_TOOLS_PACKAGE_RECOMMENDS "pcscd, libccid, libumockdev0")
set(CPACK_DEBIAN_TOOLS_DESCRIPTION
  "ACR122U reader probe and virtual ACR122U reader\n${qvr_common_description}\nqvr-probe shows what the reader library sees: the PC/SC readers, the reader's\nfirmware, the connection made, the card in the field decoded, and why a step\nfailed. virtual-acr122u is a virtual ACR122U with virtual cards, for tests and\ndemonstrations without hardware, with its control helpers and sample scenarios.")

include(CPack)

add_subdirectory(${PROJECT_SOURCE_DIR}/packaging/tests ${PROJECT_BINARY_DIR}/packaging/tests)
