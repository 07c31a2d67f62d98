# Run by CPack once the DEB generator has written the packages
# (CPACK_POST_BUILD_SCRIPTS).  Rewrites each package with dpkg-deb so that
#   - the debug package's md5sums name the files by their paths in the
#     package (CPack lists staging paths), its debug file is not
#     executable, and its documentation directory is the usual link to the
#     library package's;
#   - the library package activates the ldconfig trigger (its triggers file)
#     instead of running ldconfig from postinst and postrm, which CPack
#     writes and which would do nothing else.
cmake_minimum_required(VERSION 3.20)

find_program(TARNCOLL_DPKG_DEB dpkg-deb REQUIRED)
set(work "${CPACK_PACKAGE_DIRECTORY}/_CPack_Packages/finish")
file(MAKE_DIRECTORY "${work}")

# Writes DEBIAN/md5sums of the unpacked package at root: every regular file.
function(write_md5sums root)
  file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE "${root}" "${root}/*")
  list(FILTER files EXCLUDE REGEX "^DEBIAN/")
  list(SORT files)
  set(sums "")
  foreach(f IN LISTS files)
    if(NOT IS_SYMLINK "${root}/${f}")
      file(MD5 "${root}/${f}" sum)
      string(APPEND sums "${sum}  ${f}\n")
    endif()
  endforeach()
  file(WRITE "${root}/DEBIAN/md5sums" "${sums}")
  file(CHMOD "${root}/DEBIAN/md5sums" FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
endfunction()

foreach(package IN LISTS CPACK_PACKAGE_FILES)
  get_filename_component(name "${package}" NAME)
  get_filename_component(dir "${package}" DIRECTORY)
  set(root "${work}/${name}")
  file(REMOVE_RECURSE "${root}")
  execute_process(COMMAND "${TARNCOLL_DPKG_DEB}" -R "${package}" "${root}" COMMAND_ERROR_IS_FATAL ANY)
  if(name MATCHES "\\.ddeb$")
    file(GLOB_RECURSE debug_files "${root}/usr/lib/debug/*.debug")
    foreach(f IN LISTS debug_files)
      file(CHMOD "${f}" FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
    endforeach()
    string(REGEX REPLACE "_.*" "" debug_package "${name}")
    string(REGEX REPLACE "-dbgsym$" "" library_package "${debug_package}")
    file(MAKE_DIRECTORY "${root}/usr/share/doc")
    file(CREATE_LINK "${library_package}" "${root}/usr/share/doc/${debug_package}" SYMBOLIC)
  elseif(name MATCHES "^${CPACK_DEBIAN_RUNTIME_PACKAGE_NAME}_")
    file(REMOVE "${root}/DEBIAN/postinst" "${root}/DEBIAN/postrm")
  endif()

  write_md5sums("${root}")
  file(REMOVE "${package}")
  execute_process(COMMAND "${TARNCOLL_DPKG_DEB}" --root-owner-group -Zxz --build "${root}" "${package}"
                  OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE "${root}")
  message(STATUS "tarncoll: finished ${name}")
endforeach()
