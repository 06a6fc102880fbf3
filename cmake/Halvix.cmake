# Helpers shared by the libraries' build files.

# The wrapper that runs a command inside a fresh virtual router.
if(CMAKE_CROSSCOMPILING)
  set(SIM_TARGET_DIR ${CMAKE_BINARY_DIR}/sim)
  set(HALVIX_RUN ${CMAKE_BINARY_DIR}/router-run --target --)
else()
  set(SIM_TARGET_DIR "")
  set(HALVIX_RUN ${CMAKE_BINARY_DIR}/router-run --)
endif()
set(HALVIX_EXEC_PERMS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# In the build tree it finds the virtual router in the sources and builds.
set(ROUTER_RUN_PATHS "SIM_ETC=\"${PROJECT_SOURCE_DIR}/sim/etc\"
SIM_TOOLS=\"${PROJECT_SOURCE_DIR}/sim/tools\"
HOST_SIM_BIN=\"${SIM_HOST_DIR}/sim/bin\"
HOST_SIM_LIB=\"${SIM_HOST_DIR}/sim/lib\"
TARGET_SIM_LIB=\"${SIM_TARGET_DIR}/lib\"
KEEP_DIRS=(\"${PROJECT_SOURCE_DIR}\" \"${CMAKE_BINARY_DIR}\" \"${SIM_HOST_DIR}\")
APP_LIB_DIR=\"\"")
configure_file(${PROJECT_SOURCE_DIR}/sim/router-run.in ${CMAKE_BINARY_DIR}/router-run
  @ONLY FILE_PERMISSIONS ${HALVIX_EXEC_PERMS})
configure_file(${PROJECT_SOURCE_DIR}/sim/router-panel.in ${CMAKE_BINARY_DIR}/router-panel
  @ONLY FILE_PERMISSIONS ${HALVIX_EXEC_PERMS})
configure_file(${PROJECT_SOURCE_DIR}/sim/lcd/lcd-png.in ${CMAKE_BINARY_DIR}/lcd-png
  @ONLY FILE_PERMISSIONS ${HALVIX_EXEC_PERMS})
# Installed, it finds it beside itself in the prefix.
set(ROUTER_RUN_PATHS "prefix=$(cd \"$(dirname \"$(readlink -f \"\${BASH_SOURCE[0]}\")\")/..\" && pwd)
SIM_ETC=\"$prefix/share/halvix/sim/etc\"
SIM_TOOLS=\"$prefix/share/halvix/sim/tools\"
HOST_SIM_BIN=\"$prefix/lib/halvix/sim/host/bin\"
HOST_SIM_LIB=\"$prefix/lib/halvix/sim/host/lib\"
TARGET_SIM_LIB=\"$prefix/lib/halvix/sim/target/lib\"
KEEP_DIRS=(\"$prefix\")
APP_LIB_DIR=\"$prefix/lib\"")
configure_file(${PROJECT_SOURCE_DIR}/sim/router-run.in ${CMAKE_BINARY_DIR}/sdk/router-run
  @ONLY FILE_PERMISSIONS ${HALVIX_EXEC_PERMS})
configure_file(${PROJECT_SOURCE_DIR}/sim/router-panel.in ${CMAKE_BINARY_DIR}/sdk/router-panel
  @ONLY FILE_PERMISSIONS ${HALVIX_EXEC_PERMS})
configure_file(${PROJECT_SOURCE_DIR}/sim/lcd/lcd-png.in ${CMAKE_BINARY_DIR}/sdk/lcd-png
  @ONLY FILE_PERMISSIONS ${HALVIX_EXEC_PERMS})
unset(ROUTER_RUN_PATHS)

# Applies the sanitizer flags of this build to a target.
function(halvix_sanitize target)
  if(HALVIX_SANITIZE)
    target_compile_options(${target} PRIVATE ${HALVIX_SAN_FLAGS})
    target_link_options(${target} PRIVATE ${HALVIX_SAN_FLAGS})
  endif()
  if(HALVIX_TSAN)
    target_compile_options(${target} PRIVATE ${HALVIX_TSAN_FLAGS})
    target_link_options(${target} PRIVATE ${HALVIX_TSAN_FLAGS})
  endif()
  if(HALVIX_FUZZ)
    target_compile_options(${target} PRIVATE ${HALVIX_FUZZ_FLAGS})
    target_link_options(${target} PRIVATE ${HALVIX_FUZZ_FLAGS})
  endif()
endfunction()

# The router's threads have small stacks: the target build fails on any
# library frame above 4 KB, so that none creeps in.
function(halvix_stack_usage target)
  if(CMAKE_CROSSCOMPILING AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(${target} PRIVATE -Werror=stack-usage=4096)
  endif()
endfunction()

# halvix_library(NAME <lib> [LIBS ...] [COMPONENT c] [TEST_SOURCES ...]
#                [TEST_INCLUDES ...] [TEST_DEFINITIONS ...]): a shared library
# from src/ (every folder below it) with public headers in include/. Its
# shared object installs with the component `runtime` (the router's root file
# system) unless another is named: the stand-ins of outside libraries install
# as `outside`. Each tests/<name>_test.cpp becomes the test <short>_<name>
# (built with the TEST_ sources, include folders and definitions), and
# tests/exports, when there, the export check <lib>_exports.
#
# Our libraries export their interface and nothing else: compiled with
# hidden visibility (the public headers declare theirs default), linked with
# the version script of their export lists (halvix_exports). The stand-ins
# of outside libraries keep default visibility: what they export is the
# outside library's business, and only what ours import is checked.
function(halvix_library)
  cmake_parse_arguments(A "" "NAME;COMPONENT" "LIBS;TEST_SOURCES;TEST_INCLUDES;TEST_DEFINITIONS" ${ARGN})
  if(NOT A_COMPONENT)
    set(A_COMPONENT runtime)
  endif()
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/src/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/src/*.c)
  add_library(${A_NAME} SHARED ${srcs})
  target_include_directories(${A_NAME} PUBLIC
    $<BUILD_INTERFACE:${CMAKE_CURRENT_SOURCE_DIR}/include> $<INSTALL_INTERFACE:include>
    PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/src)
  target_link_libraries(${A_NAME} PUBLIC ${A_LIBS} PRIVATE halvix_base)
  string(REGEX REPLACE "^lib" "" short ${A_NAME})
  set_target_properties(${A_NAME} PROPERTIES OUTPUT_NAME ${A_NAME} PREFIX "" EXPORT_NAME ${short})
  set(outside OFF)
  if(A_COMPONENT STREQUAL "outside")
    set(outside ON)
  else()
    set_target_properties(${A_NAME} PROPERTIES C_VISIBILITY_PRESET hidden CXX_VISIBILITY_PRESET hidden
      VISIBILITY_INLINES_HIDDEN ON)
  endif()
  halvix_sanitize(${A_NAME})
  halvix_stack_usage(${A_NAME})
  halvix_install_library(${A_NAME} ${CMAKE_CURRENT_SOURCE_DIR}/include "${A_LIBS}" ${A_COMPONENT})

  file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tests/*_test.cpp)
  foreach(t ${tests})
    get_filename_component(n ${t} NAME_WE)
    halvix_test(NAME ${short}_${n} SOURCES ${t} ${A_TEST_SOURCES} LIBS ${A_NAME})
    target_include_directories(${short}_${n} PRIVATE ${A_TEST_INCLUDES})
    target_compile_definitions(${short}_${n} PRIVATE ${A_TEST_DEFINITIONS})
  endforeach()
  if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/tests/exports)
    if(outside)
      halvix_exports(LIB ${A_NAME} LIST ${CMAKE_CURRENT_SOURCE_DIR}/tests/exports LISTED_ONLY)
    else()
      halvix_exports(LIB ${A_NAME} LIST ${CMAKE_CURRENT_SOURCE_DIR}/tests/exports)
    endif()
  elseif(NOT outside)
    message(FATAL_ERROR "${A_NAME}: a library of ours needs its export lists in tests/exports")
  endif()
endfunction()

# Installs a library of ours: the shared object (runtime), its public
# headers, a pkg-config file and its place in the CMake package (dev).
# LIBS are what it links publicly: ours become Requires and the component's
# dependencies in the package, qdbm and threads the packages the component
# finds. libcurl, OpenSSL and libpng reach no public header: the installed
# package leaves them out of the link interface (the shared object names
# them itself), so no application looks for them.
set(HALVIX_INSTALLED_LIBS "" CACHE INTERNAL "")
function(halvix_install_library name incdir libs component)
  install(TARGETS ${name} EXPORT HalvixTargets
    LIBRARY DESTINATION lib COMPONENT ${component}
    ARCHIVE DESTINATION lib COMPONENT dev)
  if(EXISTS ${incdir})
    install(DIRECTORY ${incdir}/ DESTINATION include COMPONENT dev)
  endif()
  set(requires "")
  set(requires_private "")
  set(libs_private "")
  set(cflags "")
  set(deps "")
  set(packages "")
  set(private_links "")
  foreach(l ${libs})
    if(l STREQUAL "qdbm::qdbm")
      # Public headers include qdbm's. A cross build names them in its
      # sysroot; a host build requires Debian's qdbm.pc, so that
      # PKG_CONFIG_SYSROOT_DIR applies to them as to any package.
      list(APPEND packages qdbm)
      if(CMAKE_CROSSCOMPILING)
        file(RELATIVE_PATH qinc ${HALVIX_SYSROOT} ${QDBM_INCLUDE_DIR})
        get_filename_component(qlib ${QDBM_LIBRARY} DIRECTORY)
        file(RELATIVE_PATH qlib ${HALVIX_SYSROOT} ${qlib})
        string(APPEND cflags " -I\${sysroot}/${qinc}")
        string(APPEND libs_private " -L\${sysroot}/${qlib} -lqdbm")
      elseif(HALVIX_QDBM_PC)
        string(APPEND requires_private " qdbm")
      else()
        string(APPEND cflags " -I\${pc_sysrootdir}${QDBM_INCLUDE_DIR}")
        string(APPEND libs_private " -lqdbm")
      endif()
    elseif(l STREQUAL "Threads::Threads")
      string(APPEND libs_private " -pthread")
      list(APPEND packages Threads)
    elseif(l STREQUAL "CURL::libcurl")
      string(APPEND libs_private " -lcurl")
      list(APPEND private_links ${l})
    elseif(l MATCHES "^OpenSSL::")
      if(NOT libs_private MATCHES "-lssl")
        string(APPEND libs_private " -lssl -lcrypto")
      endif()
      list(APPEND private_links ${l})
    elseif(l MATCHES "^PNG::")
      string(APPEND libs_private " -lpng")
      list(APPEND private_links ${l})
    elseif(TARGET ${l})
      string(APPEND requires " ${l}")
      get_target_property(dep ${l} EXPORT_NAME)
      if(NOT dep)
        set(dep ${l})
      endif()
      list(APPEND deps ${dep})
    elseif(l MATCHES "^-")
      string(APPEND libs_private " ${l}")
    else()
      string(APPEND libs_private " -l${l}")
    endif()
  endforeach()
  # What only the shared object needs stays in the build tree's link
  # interface (the tests link through it) and out of the installed one.
  if(private_links)
    get_target_property(iface ${name} INTERFACE_LINK_LIBRARIES)
    set(wrapped "")
    foreach(i ${iface})
      if(i IN_LIST private_links)
        list(APPEND wrapped "$<BUILD_INTERFACE:${i}>")
      else()
        list(APPEND wrapped "${i}")
      endif()
    endforeach()
    set_target_properties(${name} PROPERTIES INTERFACE_LINK_LIBRARIES "${wrapped}")
  endif()
  string(REGEX REPLACE "^lib" "" short ${name})
  halvix_sdk_component(${short} "${deps}" "${packages}")
  halvix_pkgconfig(${name} ${short} "${requires}" "${libs_private}" "${cflags}" "${requires_private}")
endfunction()

# halvix_sdk_component(name deps packages): a component of the CMake
# package, with the components it needs and the packages it finds.
function(halvix_sdk_component name deps packages)
  if(NOT name IN_LIST HALVIX_INSTALLED_LIBS)
    set(HALVIX_INSTALLED_LIBS ${HALVIX_INSTALLED_LIBS} ${name} CACHE INTERNAL "")
  endif()
  set(HALVIX_SDK_DEPS_${name} "${deps}" CACHE INTERNAL "")
  set(HALVIX_SDK_PACKAGES_${name} "${packages}" CACHE INTERNAL "")
endfunction()

# halvix_pkgconfig(name short requires [libs_private] [cflags]
#                  [requires_private]): writes and installs name.pc,
# linking -l<short>. A library installed by hand (into the export set
# HalvixTargets) becomes a component of the CMake package here. A cross
# build's files name its compiler triplet and sysroot (variables target and
# sysroot); every file names the virtual router (router_run).
function(halvix_pkgconfig name short requires)
  set(libs_private "${ARGV3}")
  set(cflags "${ARGV4}")
  set(requires_private "${ARGV5}")
  string(REGEX REPLACE "^lib" "" component ${name})
  if(NOT component IN_LIST HALVIX_INSTALLED_LIBS)
    halvix_sdk_component(${component} "" "")
  endif()
  set(cross "")
  if(CMAKE_CROSSCOMPILING)
    string(REGEX REPLACE "-g\\+\\+(-[0-9.]+)?$" "" triplet ${CMAKE_CXX_COMPILER})
    get_filename_component(triplet ${triplet} NAME)
    set(cross "target=${triplet}
sysroot=${HALVIX_SYSROOT}
")
  endif()
  set(pc ${CMAKE_BINARY_DIR}/pkgconfig/${name}.pc)
  file(WRITE ${pc} "prefix=\${pcfiledir}/../..
libdir=\${prefix}/lib
includedir=\${prefix}/include
router_run=\${prefix}/bin/router-run
${cross}
Name: ${name}
Description: Halvix hub library ${short}
Version: ${PROJECT_VERSION}
Requires:${requires}
Requires.private:${requires_private}
Cflags: -I\${includedir}${cflags}
Libs: -L\${libdir} -Wl,-rpath-link,\${libdir} -l${short}
Libs.private:${libs_private}
")
  install(FILES ${pc} DESTINATION lib/pkgconfig COMPONENT dev)
endfunction()

# halvix_test(NAME <test> SOURCES ... LIBS ...): a GoogleTest binary run in a
# virtual router of its own.
function(halvix_test)
  cmake_parse_arguments(A "" "NAME;TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${A_NAME} ${A_SOURCES} ${PROJECT_SOURCE_DIR}/sim/testkit/environment.cpp)
  target_link_libraries(${A_NAME} PRIVATE ${A_LIBS} GTest::gtest GTest::gtest_main halvix_testkit halvix_base Threads::Threads)
  halvix_sanitize(${A_NAME})
  add_test(NAME ${A_NAME} COMMAND ${HALVIX_RUN} $<TARGET_FILE:${A_NAME}>)
  if(NOT A_TIMEOUT)
    set(A_TIMEOUT 600)
  endif()
  set_tests_properties(${A_NAME} PROPERTIES TIMEOUT ${A_TIMEOUT})
endfunction()

# halvix_exports(LIB <target> LIST <dir> [LISTED_ONLY]): the symbols the
# library exports, demangled as nm -C prints them, one a line in the *.txt
# files of the directory and, for names spelled by the ABI (size_t, long),
# of its subdirectory abi-<pointer size> (abi-4 for mipsel, abi-8 for the
# host). The lists make the library's version script, written at configure
# time (cmake/export-map.sh), and the test <target>_exports checks that the
# built library exports exactly them (cmake/check-exports.sh). LISTED_ONLY,
# for the stand-ins of outside libraries: no version script, and the test
# checks only that the listed symbols are there.
function(halvix_exports)
  cmake_parse_arguments(A "LISTED_ONLY" "LIB;LIST" "" ${ARGN})
  set(dirs ${A_LIST})
  if(IS_DIRECTORY ${A_LIST}/abi-${CMAKE_SIZEOF_VOID_P})
    list(APPEND dirs ${A_LIST}/abi-${CMAKE_SIZEOF_VOID_P})
  endif()
  set(check ${PROJECT_SOURCE_DIR}/cmake/check-exports.sh)
  if(A_LISTED_ONLY)
    add_test(NAME ${A_LIB}_exports COMMAND sh ${check} --listed-only ${CMAKE_NM} $<TARGET_FILE:${A_LIB}> ${dirs})
    return()
  endif()
  # A changed, added or removed list configures again, and so relinks.
  set(lists "")
  foreach(d ${dirs})
    file(GLOB l CONFIGURE_DEPENDS ${d}/*.txt)
    list(APPEND lists ${l})
  endforeach()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${lists})
  set(map ${CMAKE_BINARY_DIR}/exports/${A_LIB}.map)
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/exports)
  execute_process(COMMAND sh ${PROJECT_SOURCE_DIR}/cmake/export-map.sh ${map} ${dirs} RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${A_LIB}: cannot write the version script ${map}")
  endif()
  target_link_options(${A_LIB} PRIVATE LINKER:--version-script=${map})
  set_property(TARGET ${A_LIB} APPEND PROPERTY LINK_DEPENDS ${map})
  add_test(NAME ${A_LIB}_exports COMMAND sh ${check} ${CMAKE_NM} $<TARGET_FILE:${A_LIB}> ${dirs})
endfunction()

# halvix_sim_tool(NAME <tool> SOURCES ... [LIBS ...] [INCLUDES ...]): a host
# program of the virtual router, built into sim/bin where router-run finds
# its tools.
function(halvix_sim_tool)
  cmake_parse_arguments(A "" "NAME" "SOURCES;LIBS;INCLUDES" ${ARGN})
  add_executable(${A_NAME} ${A_SOURCES})
  target_link_libraries(${A_NAME} PRIVATE ${A_LIBS})
  target_include_directories(${A_NAME} PRIVATE ${A_INCLUDES})
  set_target_properties(${A_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/sim/bin)
endfunction()
