# The nvram driver: its device in the preload library (every ABI); sim-nvram,
# the host tool behind nvram_get, nvram_set and the router's defaults.
if(HALVIX_BUILD_SIM_HOST)
  add_executable(sim-nvram ${CMAKE_CURRENT_LIST_DIR}/sim-nvram.cpp)
  set_target_properties(sim-nvram PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/sim/bin)
endif()
