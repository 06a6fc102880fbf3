# The API reference of the SDK: Doxygen over the public headers of the
# libraries (base/ is private and left out).
#   cmake --build <tree> --target docs   writes <tree>/docs/html/index.html
# A warning (an undocumented item, a broken command) fails the target.
# The html installs with the SDK (component dev) under share/doc/halvix,
# when it has been built.
set(HALVIX_DOCS_LIBS hacore pairing daemonlink fwupdate logupload hwtimer lcddraw touchui)
set(HALVIX_DOCS_DIR ${CMAKE_BINARY_DIR}/docs)
set(HALVIX_DOCS_INPUT "")
set(HALVIX_DOCS_INCLUDE_DIRS "")
set(HALVIX_DOCS_HEADERS "")
foreach(lib ${HALVIX_DOCS_LIBS})
  string(APPEND HALVIX_DOCS_INPUT " \"${PROJECT_SOURCE_DIR}/${lib}/include/${lib}\"")
  string(APPEND HALVIX_DOCS_INCLUDE_DIRS " \"${PROJECT_SOURCE_DIR}/${lib}/include\"")
  file(GLOB headers CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${lib}/include/${lib}/*.h)
  list(APPEND HALVIX_DOCS_HEADERS ${headers})
endforeach()

find_program(DOXYGEN_EXECUTABLE doxygen)
if(DOXYGEN_EXECUTABLE)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/Doxyfile.in ${CMAKE_BINARY_DIR}/Doxyfile @ONLY)
  add_custom_command(OUTPUT ${HALVIX_DOCS_DIR}/html/index.html
    # A fresh tree each time: pages of removed items do not linger.
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${HALVIX_DOCS_DIR}
    COMMAND ${DOXYGEN_EXECUTABLE} ${CMAKE_BINARY_DIR}/Doxyfile
    DEPENDS ${HALVIX_DOCS_HEADERS} ${CMAKE_BINARY_DIR}/Doxyfile
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
    COMMENT "Writing the API reference in ${HALVIX_DOCS_DIR}/html"
    VERBATIM)
  add_custom_target(docs DEPENDS ${HALVIX_DOCS_DIR}/html/index.html)
else()
  add_custom_target(docs
    COMMAND ${CMAKE_COMMAND} -E echo "docs: doxygen not found (./setup.sh installs it)"
    COMMAND ${CMAKE_COMMAND} -E false
    VERBATIM)
endif()

install(DIRECTORY ${HALVIX_DOCS_DIR}/html/ DESTINATION share/doc/${PROJECT_NAME}/html
  COMPONENT dev OPTIONAL)
