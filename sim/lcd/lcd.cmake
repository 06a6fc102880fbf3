# The virtual LCD: the frame-buffer file and rasteriser go into the preload
# library (every ABI); the text renderer and the PNG writer are host tools.
target_sources(halvixsim PRIVATE ${CMAKE_CURRENT_LIST_DIR}/fb.cpp ${CMAKE_CURRENT_LIST_DIR}/raster.cpp)
target_include_directories(halvixsim PRIVATE ${PROJECT_SOURCE_DIR}/lcddraw/include)

if(HALVIX_BUILD_SIM_HOST)
  find_package(Freetype REQUIRED)
  find_package(PNG REQUIRED)
  set(d ${CMAKE_CURRENT_LIST_DIR})
  halvix_sim_tool(NAME lcd-text SOURCES ${d}/lcd-text.cpp ${d}/text.cpp ${d}/fb.cpp ${d}/raster.cpp
    LIBS Freetype::Freetype)
  halvix_sim_tool(NAME lcd-png SOURCES ${d}/lcd-png.cpp ${d}/fb.cpp LIBS PNG::PNG)
  add_dependencies(halvixsim lcd-text lcd-png)
endif()
