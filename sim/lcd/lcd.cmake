# The virtual LCD: the frame-buffer file and rasteriser go into the preload
# library (every ABI); the text renderer and the PNG writer are host tools.
target_sources(halvixsim PRIVATE ${CMAKE_CURRENT_LIST_DIR}/fb.cpp ${CMAKE_CURRENT_LIST_DIR}/raster.cpp)
target_include_directories(halvixsim PRIVATE ${PROJECT_SOURCE_DIR}/lcddraw/include)

if(HALVIX_BUILD_SIM_HOST)
  find_package(Freetype REQUIRED)
  find_package(PNG REQUIRED)
  add_executable(lcd-text ${CMAKE_CURRENT_LIST_DIR}/lcd-text.cpp ${CMAKE_CURRENT_LIST_DIR}/text.cpp
    ${CMAKE_CURRENT_LIST_DIR}/fb.cpp ${CMAKE_CURRENT_LIST_DIR}/raster.cpp)
  target_link_libraries(lcd-text PRIVATE Freetype::Freetype)
  add_executable(lcd-png ${CMAKE_CURRENT_LIST_DIR}/lcd-png.cpp ${CMAKE_CURRENT_LIST_DIR}/fb.cpp)
  target_link_libraries(lcd-png PRIVATE PNG::PNG)
  set_target_properties(lcd-text lcd-png PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/sim/bin)
  add_dependencies(halvixsim lcd-text lcd-png)
endif()
