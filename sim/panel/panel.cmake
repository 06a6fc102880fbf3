# The browser panel: a host program that runs outside the sandbox, beside
# router-run (router-panel starts both).
find_package(PkgConfig REQUIRED)
pkg_check_modules(HTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib)
add_library(panel_script STATIC ${CMAKE_CURRENT_LIST_DIR}/pen_script.cpp)
halvix_sim_tool(NAME panel-server SOURCES ${CMAKE_CURRENT_LIST_DIR}/panel-server.cpp
  LIBS panel_script sim_device_line PkgConfig::HTTPLIB Threads::Threads)
add_dependencies(halvixsim panel-server)

# Inside a virtual router, so its loopback is the sandbox's own.
add_test(NAME panel_server COMMAND ${CMAKE_BINARY_DIR}/router-run --
  /usr/bin/python3 ${CMAKE_CURRENT_LIST_DIR}/tests/panel_server_test.py $<TARGET_FILE:panel-server>)
