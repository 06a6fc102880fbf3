# The application the browser test of the device pane runs: built in every
# tree, so the test runs it on the host and on mipsel.
add_executable(door-screen ${CMAKE_CURRENT_LIST_DIR}/door-screen.cpp)
target_link_libraries(door-screen PRIVATE libhacore liblcddraw Threads::Threads)
set_target_properties(door-screen PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/sim/panel)
halvix_sanitize(door-screen)
