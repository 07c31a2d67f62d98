# The `docs` target: the HTML API reference in <build>/docs/html, generated
# by doxygen from the public headers with the README as its front page.
# The target exists only when doxygen is found; class diagrams need dot
# (graphviz).  Any doxygen warning (an undocumented public member among
# them) fails the target unless TARNCOLL_DOCS_WARN_AS_ERROR says otherwise.
find_package(Doxygen OPTIONAL_COMPONENTS dot)
if(NOT DOXYGEN_FOUND)
  return()
endif()

set(TARNCOLL_DOCS_WARN_AS_ERROR FAIL_ON_WARNINGS CACHE STRING
    "WARN_AS_ERROR of the docs target: FAIL_ON_WARNINGS, YES or NO")
set_property(CACHE TARNCOLL_DOCS_WARN_AS_ERROR PROPERTY STRINGS FAIL_ON_WARNINGS YES NO)

set(TARNCOLL_DOCS_OUTPUT ${PROJECT_BINARY_DIR}/docs)
if(TARGET Doxygen::dot)
  set(TARNCOLL_DOCS_HAVE_DOT YES)
  get_filename_component(TARNCOLL_DOCS_DOT_PATH "${DOXYGEN_DOT_EXECUTABLE}" DIRECTORY)
else()
  set(TARNCOLL_DOCS_HAVE_DOT NO)
  set(TARNCOLL_DOCS_DOT_PATH "")
endif()
configure_file(${PROJECT_SOURCE_DIR}/docs/Doxyfile.in ${TARNCOLL_DOCS_OUTPUT}/Doxyfile @ONLY)

# Always run when asked for, so that a failing run is not taken for a
# finished one by the next build.
add_custom_target(docs
                  COMMAND ${CMAKE_COMMAND} -E remove_directory ${TARNCOLL_DOCS_OUTPUT}/html
                  COMMAND Doxygen::doxygen ${TARNCOLL_DOCS_OUTPUT}/Doxyfile
                  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                  COMMENT "Generating the API reference in ${TARNCOLL_DOCS_OUTPUT}/html"
                  VERBATIM)
