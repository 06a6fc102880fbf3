# The nvram driver: its device in the preload library (every ABI); sim-nvram,
# the host tool behind nvram_get, nvram_set and the router's defaults.
if(HALVIX_BUILD_SIM_HOST)
  halvix_sim_tool(NAME sim-nvram SOURCES ${CMAKE_CURRENT_LIST_DIR}/sim-nvram.cpp)
endif()
