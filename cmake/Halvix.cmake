# Helpers shared by the libraries' build files.

# The wrapper that runs a command inside a fresh virtual router.
if(CMAKE_CROSSCOMPILING)
  set(SIM_TARGET_DIR ${CMAKE_BINARY_DIR}/sim)
  set(HALVIX_RUN ${CMAKE_BINARY_DIR}/router-run --target --)
else()
  set(SIM_TARGET_DIR "")
  set(HALVIX_RUN ${CMAKE_BINARY_DIR}/router-run --)
endif()
configure_file(${PROJECT_SOURCE_DIR}/sim/router-run.in ${CMAKE_BINARY_DIR}/router-run
  @ONLY FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

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

# The router's threads have small stacks: the target build warns (never
# fails) on any library frame above 4 KB, so that none creeps in.
function(halvix_stack_usage target)
  if(CMAKE_CROSSCOMPILING AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(${target} PRIVATE -Wstack-usage=4096)
  endif()
endfunction()

# halvix_library(NAME <lib> [LIBS ...]): a shared library from src/*.cpp
# with public headers in include/.
function(halvix_library)
  cmake_parse_arguments(A "" "NAME" "LIBS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/src/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/src/*.c)
  if(NOT srcs)
    set(srcs ${PROJECT_SOURCE_DIR}/cmake/empty.cpp)
  endif()
  add_library(${A_NAME} SHARED ${srcs})
  target_include_directories(${A_NAME} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/include
    PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/src)
  target_link_libraries(${A_NAME} PUBLIC ${A_LIBS})
  set_target_properties(${A_NAME} PROPERTIES OUTPUT_NAME ${A_NAME} PREFIX "")
  halvix_sanitize(${A_NAME})
  halvix_stack_usage(${A_NAME})
endfunction()

# halvix_test(NAME <test> SOURCES ... LIBS ...): a GoogleTest binary run in a
# virtual router of its own.
function(halvix_test)
  cmake_parse_arguments(A "" "NAME;TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${A_NAME} ${A_SOURCES})
  target_link_libraries(${A_NAME} PRIVATE ${A_LIBS} GTest::gtest GTest::gtest_main halvix_testkit Threads::Threads)
  halvix_sanitize(${A_NAME})
  add_test(NAME ${A_NAME} COMMAND ${HALVIX_RUN} $<TARGET_FILE:${A_NAME}>)
  if(NOT A_TIMEOUT)
    set(A_TIMEOUT 600)
  endif()
  set_tests_properties(${A_NAME} PROPERTIES TIMEOUT ${A_TIMEOUT})
endfunction()

# halvix_exports(LIB <target> LIST <dir>): checks that the built library
# exports every symbol (demangled form, one per line) listed in the *.txt
# files of the directory.
function(halvix_exports)
  cmake_parse_arguments(A "" "LIB;LIST" "" ${ARGN})
  add_test(NAME ${A_LIB}_exports
    COMMAND sh ${PROJECT_SOURCE_DIR}/cmake/check-exports.sh ${CMAKE_NM} $<TARGET_FILE:${A_LIB}> ${A_LIST})
endfunction()
