# Each product folder holds its core sources at its top and its Qt sources in qt/.
# Sources are picked up by globbing, so adding a file needs no CMake edit.
function(corvid_add_core_sources target folder)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${folder}/*.cpp)
  if(sources)
    target_sources(${target} PRIVATE ${sources})
  endif()
endfunction()

function(corvid_add_qt_sources target folder)
  file(GLOB sources CONFIGURE_DEPENDS
    ${CMAKE_SOURCE_DIR}/${folder}/qt/*.cpp ${CMAKE_SOURCE_DIR}/${folder}/qt/*.h)
  list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
  if(sources)
    target_sources(${target} PRIVATE ${sources})
  endif()
endfunction()
