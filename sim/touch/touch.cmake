# The touch panel's files: the pictures and language files the toolkit
# loads from /halvix, laid down by router-init from /sim/bin/halvix.
if(HALVIX_BUILD_SIM_HOST)
  # A build step, not one of the router's tools: it stays out of sim/bin.
  add_executable(halvix-art ${CMAKE_CURRENT_LIST_DIR}/halvix-art.cpp)
  target_link_libraries(halvix-art PRIVATE PNG::PNG)
  set(art_dir ${CMAKE_BINARY_DIR}/sim/bin/halvix)
  add_custom_command(OUTPUT ${art_dir}/cross_35.png ${art_dir}/en.xml ${art_dir}/de.xml
    COMMAND ${CMAKE_COMMAND} -E make_directory ${art_dir}
    COMMAND halvix-art ${art_dir}
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_CURRENT_LIST_DIR}/en.xml ${CMAKE_CURRENT_LIST_DIR}/de.xml ${art_dir}
    DEPENDS halvix-art ${CMAKE_CURRENT_LIST_DIR}/en.xml ${CMAKE_CURRENT_LIST_DIR}/de.xml
    COMMENT "Drawing the touch panel's pictures")
  add_custom_target(halvix-art-files ALL DEPENDS ${art_dir}/cross_35.png ${art_dir}/en.xml)
  add_dependencies(halvixsim halvix-art-files)
endif()
