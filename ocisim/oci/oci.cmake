# The simulated client libraries, all in the build tree:
#   ${OCISIM_LIBDIR}/libclntsh.so.19.1 (+ libclntsh.so)  release 8 and release 7 entry points
#   ${OCISIM_LIBDIR}/libociw32.so                        release 7 entry points only
#   <build>/ocisim/lib7/libociw32.so                     the release 7 library alone in its folder
#   <build>/ocisim/lib-missing/libclntsh.so              lacks OCIDefineDynamic
# Each library links its own copy of the server; only Oracle's C names are exported.

set(OCISIM_OCI_DIR ${CMAKE_CURRENT_LIST_DIR})
set(OCISIM_OCI_COMMON_SOURCES
  ${OCISIM_OCI_DIR}/BindBuffers.cpp
  ${OCISIM_OCI_DIR}/ClientErrors.cpp
  ${OCISIM_OCI_DIR}/ExternalValue.cpp
  ${OCISIM_OCI_DIR}/LibraryState.cpp
  ${OCISIM_OCI_DIR}/ResultCursor.cpp
  ${OCISIM_OCI_DIR}/StatementText.cpp
  ${OCISIM_OCI_DIR}/Oci7.cpp
  CACHE INTERNAL "Sources of the release 7 layer and the common parts")
set(OCISIM_OCI8_SOURCES ${OCISIM_OCI_DIR}/Oci8.cpp CACHE INTERNAL "Sources of the release 8 layer")

function(ocisim_client_library target folder name)
  cmake_parse_arguments(ARG "OCI8;WITHOUT_DEFINE_DYNAMIC" "SOVERSION" "" ${ARGN})
  set(sources ${OCISIM_OCI_COMMON_SOURCES})
  if(ARG_OCI8)
    list(APPEND sources ${OCISIM_OCI8_SOURCES})
  endif()
  add_library(${target} SHARED ${sources})
  target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR})
  target_link_libraries(${target} PRIVATE ocisim_engine)
  target_link_options(${target} PRIVATE -Wl,--exclude-libs,ALL -Wl,-Bsymbolic -Wl,--no-undefined
    -Wl,--version-script=${OCISIM_OCI_DIR}/exports.map)
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${OCISIM_OCI_DIR}/exports.map)
  set_target_properties(${target} PROPERTIES
    OUTPUT_NAME ${name}
    LIBRARY_OUTPUT_DIRECTORY ${folder}
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
  if(ARG_SOVERSION)
    set_target_properties(${target} PROPERTIES SOVERSION ${ARG_SOVERSION})
  endif()
  if(ARG_WITHOUT_DEFINE_DYNAMIC)
    target_compile_definitions(${target} PRIVATE OCISIM_WITHOUT_DEFINE_DYNAMIC)
  endif()
  add_dependencies(ocisim_libs ${target})
endfunction()

ocisim_client_library(ocisim_clntsh ${OCISIM_LIBDIR} clntsh OCI8 SOVERSION 19.1)
ocisim_client_library(ocisim_ociw32 ${OCISIM_LIBDIR} ociw32)
ocisim_client_library(ocisim_ociw32_alone ${CMAKE_BINARY_DIR}/ocisim/lib7 ociw32)
ocisim_client_library(ocisim_clntsh_missing ${CMAKE_BINARY_DIR}/ocisim/lib-missing clntsh OCI8 WITHOUT_DEFINE_DYNAMIC)

# The example program: plain C against Oracle's prototypes, linked as an Oracle
# program is; once with both generations, once with the release 7 library alone.
add_executable(ocisim_shared_pool_example ${CMAKE_SOURCE_DIR}/ocisim/examples/shared_pool_example.c)
target_include_directories(ocisim_shared_pool_example PRIVATE ${OCISIM_OCI_DIR})
target_link_libraries(ocisim_shared_pool_example PRIVATE ocisim_clntsh)

add_executable(ocisim_shared_pool_example7 ${CMAKE_SOURCE_DIR}/ocisim/examples/shared_pool_example.c)
target_include_directories(ocisim_shared_pool_example7 PRIVATE ${OCISIM_OCI_DIR})
target_compile_definitions(ocisim_shared_pool_example7 PRIVATE EXAMPLE_RELEASE7_ONLY)
target_link_libraries(ocisim_shared_pool_example7 PRIVATE ocisim_ociw32_alone)
