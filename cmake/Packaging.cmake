# Debian packages and the gdb pretty printers.
#
# Included from the top CMakeLists.txt before the install rules.  Installs
# the gdb printers and sets CPack up so that
#
#   cmake --build <dir> --target package
#
# writes three packages (best from a RelWithDebInfo build configured with
# -DCMAKE_INSTALL_PREFIX=/usr):
#
#   libtarncoll1          the shared library (runtime component)
#   libtarncoll-dev       headers, the .so link, the CMake and pkg-config
#                         files, the gdb printers (every other file)
#   libtarncoll1-dbgsym   the library's debug information, split off with
#                         objcopy --only-keep-debug and installed under
#                         /usr/lib/debug/.build-id/, where gdb finds it
#
# The library's install rule puts the library into the runtime component
# and its .so link into dev; every other rule falls into the default
# component, which is made dev here.  CPack is set up at the end of the top
# directory, once every install rule exists.

if(NOT TARNCOLL_INSTALL)
  return()
endif()

set(TARNCOLL_COMPONENT_RUNTIME runtime)
set(TARNCOLL_COMPONENT_DEV dev)
set(CMAKE_INSTALL_DEFAULT_COMPONENT_NAME ${TARNCOLL_COMPONENT_DEV})

# ---- gdb printers -----------------------------------------------------------
# The printer module goes to <datadir>/tarncoll/python; gdb auto-loads
# <datadir>/gdb/auto-load/<full libdir>/libtarncoll.so.<version>-gdb.py when
# it loads the library, and that file finds the module relative to itself.
set(TARNCOLL_GDB_PYTHON_DIR ${CMAKE_INSTALL_DATADIR}/tarncoll/python)
set(TARNCOLL_GDB_AUTOLOAD_DIR ${CMAKE_INSTALL_DATADIR}/gdb/auto-load${CMAKE_INSTALL_FULL_LIBDIR})
file(RELATIVE_PATH TARNCOLL_GDB_MODULE_RELDIR /${TARNCOLL_GDB_AUTOLOAD_DIR} /${TARNCOLL_GDB_PYTHON_DIR})
configure_file(${PROJECT_SOURCE_DIR}/gdb/libtarncoll-gdb.py.in
               ${PROJECT_BINARY_DIR}/gdb/libtarncoll.so.${PROJECT_VERSION}-gdb.py @ONLY)
install(FILES ${PROJECT_SOURCE_DIR}/gdb/tarncoll/__init__.py ${PROJECT_SOURCE_DIR}/gdb/tarncoll/printers.py
        DESTINATION ${TARNCOLL_GDB_PYTHON_DIR}/tarncoll COMPONENT ${TARNCOLL_COMPONENT_DEV})
install(FILES ${PROJECT_BINARY_DIR}/gdb/libtarncoll.so.${PROJECT_VERSION}-gdb.py
        DESTINATION ${TARNCOLL_GDB_AUTOLOAD_DIR} COMPONENT ${TARNCOLL_COMPONENT_DEV})

# ---- Debian documentation files ------------------------------------------------
# Every package carries its copyright file and a compressed changelog.
set(TARNCOLL_DEB_CHANGELOG ${PROJECT_BINARY_DIR}/deb/changelog.Debian.gz)
string(TIMESTAMP TARNCOLL_DEB_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
set(TARNCOLL_DEB_MAINTAINER "tarncoll developers <tarncoll@tarncoll.invalid>"
    CACHE STRING "Maintainer field of the Debian packages and their changelog")
configure_file(${PROJECT_SOURCE_DIR}/cmake/deb/changelog.in ${PROJECT_BINARY_DIR}/deb/changelog @ONLY)
# Compressed when configuring, so an install after building only the
# library finds it.  gzip -n: no name or time stamp, so it is reproducible.
execute_process(COMMAND gzip -9nc ${PROJECT_BINARY_DIR}/deb/changelog
                OUTPUT_FILE ${TARNCOLL_DEB_CHANGELOG} RESULT_VARIABLE TARNCOLL_GZIP_RESULT)
if(NOT TARNCOLL_GZIP_RESULT EQUAL 0)
  message(FATAL_ERROR "gzip of the Debian changelog failed: ${TARNCOLL_GZIP_RESULT}")
endif()
foreach(pkg libtarncoll1 libtarncoll-dev)
  if(pkg STREQUAL libtarncoll1)
    set(comp ${TARNCOLL_COMPONENT_RUNTIME})
  else()
    set(comp ${TARNCOLL_COMPONENT_DEV})
  endif()
  install(FILES ${PROJECT_SOURCE_DIR}/cmake/deb/copyright ${TARNCOLL_DEB_CHANGELOG}
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${pkg} COMPONENT ${comp})
endforeach()

# ---- CPack -------------------------------------------------------------------
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarncoll)
set(CPACK_PACKAGE_VENDOR "tarncoll developers")
set(CPACK_PACKAGE_CONTACT "${TARNCOLL_DEB_MAINTAINER}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
set(CPACK_COMPONENTS_ALL ${TARNCOLL_COMPONENT_RUNTIME} ${TARNCOLL_COMPONENT_DEV})
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_STRIP_FILES OFF)  # the debug-info split strips the library

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TARNCOLL_DEB_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libtarncoll1)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SHLIBDEPS ON)  # Depends from dpkg-shlibdeps
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)  # the shlibs file (only the runtime has libraries)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/cmake/deb/triggers)
set(CPACK_DEBIAN_RUNTIME_DEBUGINFO_PACKAGE ON)
# The extended description both packages share, then each one's last line.
set(TARNCOLL_DEB_ABOUT "\
Lists, arrays, stacks, queues, a 256-slot hashed dictionary and an AVL tree\n\
threaded into a key-ordered list, holding caller-owned item pointers or\n\
reference-counted objects, with fail-fast cursors and per-class tracking\n\
of live objects.\n\
.\n\
")
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION
    "collection class library (shared library)\n${TARNCOLL_DEB_ABOUT}\
This package contains the shared library.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME libtarncoll-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS
    "libtarncoll1 (= ${CPACK_DEBIAN_PACKAGE_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE})")
set(CPACK_COMPONENT_DEV_DESCRIPTION
    "collection class library (development files)\n${TARNCOLL_DEB_ABOUT}\
This package contains the headers, the CMake package and pkg-config files,\n\
and the gdb pretty printers for the containers.")

# Puts the last touches dpkg-deb can give and CPack cannot (see the script).
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/deb/finish.cmake)

# At the end of the top directory, once every install rule exists.
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL include CPack)
