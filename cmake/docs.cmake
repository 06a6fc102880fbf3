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

# The front page: what each library gives and how an application uses it.
set(HALVIX_DOCS_MAINPAGE ${CMAKE_BINARY_DIR}/docs-mainpage.dox)
file(CONFIGURE OUTPUT ${HALVIX_DOCS_MAINPAGE} @ONLY CONTENT [=[
/**
@mainpage Halvix SDK

The shared libraries that the applications of the router and its
home-automation hub link against. Every header is under the include folder of
the SDK as `<library>/<header>.h`; an application links a library through the
CMake package (`find_package(Halvix COMPONENTS hacore)`, target
`Halvix::hacore`) or pkg-config (`libhacore`).

| Library | Headers | What it gives |
|---------|---------|---------------|
| libhacore | hacore/ | devices and their commands (Device.h), the facade that starts the event receiver and holds the callbacks (HADevices.h), the server channel and packets, vocabularies (vocab.h), JSON (frozen.h), the index catalogue, scenes, rules, weather, clients, mesh nodes, hub settings (Halvix.h), debug counters, nvram and flash copies |
| libpairing | pairing/ | pairing of Z-Wave, ZigBee, Hue and Nest devices (HalvixAssociation.h) |
| libdaemonlink | daemonlink/ | the connection to the cloud daemon and network probes |
| libfwupdate | fwupdate/ | firmware check, download, verification and flashing (Firmware.h) |
| liblogupload | logupload/ | diagnostic log upload (sendLogs.h) |
| libhwtimer | hwtimer/ | the hardware periodic timer (Timer.h) |
| liblcddraw | lcddraw/ | drawing on the 320 x 240 screen, JPEG decoding |
| libtouchui | touchui/ | the touch toolkit: screens, widgets, modals, keyboard, screen lock, texts |

Threads: the core library's callbacks run on its receiver thread, the pairing
callback on the pairing receiver thread and the daemon callback on the
connector's thread; the drawing and toolkit calls belong to one UI thread.
Stores are opened and closed within each call. Failures come back as return
values (false, 0, -1, "#ERR", "NaN"); the one thing thrown is an `int`, by the
calls that load a missing device, scene or rule.
*/
]=])
string(APPEND HALVIX_DOCS_INPUT " \"${HALVIX_DOCS_MAINPAGE}\"")

find_program(DOXYGEN_EXECUTABLE doxygen)
if(DOXYGEN_EXECUTABLE)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/Doxyfile.in ${CMAKE_BINARY_DIR}/Doxyfile @ONLY)
  add_custom_command(OUTPUT ${HALVIX_DOCS_DIR}/html/index.html
    # A fresh tree each time: pages of removed items do not linger.
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${HALVIX_DOCS_DIR}
    COMMAND ${DOXYGEN_EXECUTABLE} ${CMAKE_BINARY_DIR}/Doxyfile
    DEPENDS ${HALVIX_DOCS_HEADERS} ${HALVIX_DOCS_MAINPAGE} ${CMAKE_BINARY_DIR}/Doxyfile
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
