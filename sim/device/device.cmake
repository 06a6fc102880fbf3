# sim-device, the physical world of the virtual home: a host program on the
# sandbox's PATH (sim/bin, installed with the SDK like the other tools). Its
# line parser and the control socket's client are shared with the HA server
# stand-in and the panel server.
if(HALVIX_BUILD_SIM_HOST)
  add_library(sim_device_line STATIC ${CMAKE_CURRENT_LIST_DIR}/device_line.cpp
    ${CMAKE_CURRENT_LIST_DIR}/device_client.cpp)
  halvix_sim_tool(NAME sim-device SOURCES ${CMAKE_CURRENT_LIST_DIR}/sim-device.cpp LIBS sim_device_line)
  add_dependencies(halvixsim sim-device)
endif()

# Heard by an application in every build (the tool is the host build's).
halvix_test(NAME sim_device_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/sim_device_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/device_line.cpp LIBS libhacore libpairing)
target_include_directories(sim_device_test PRIVATE ${CMAKE_CURRENT_LIST_DIR})
