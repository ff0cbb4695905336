# Bundled scenarios: every ocisim/scenarios/*.scn is embedded into the engine
# as a raw string, so the library needs no files at run time.

file(GLOB ocisim_scenario_files CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/scenarios/*.scn)
set(ocisim_scenarios_cpp ${CMAKE_CURRENT_BINARY_DIR}/BundledScenarios.cpp)
set(ocisim_scenarios_text "// Generated from ocisim/scenarios/*.scn by ocisim/engine/engine.cmake.\n#include <cstring>\n#include <string>\n\nnamespace ocisim {\n\nconst char* BundledScenarioText(const std::string& name) {\n")
foreach(file IN LISTS ocisim_scenario_files)
  get_filename_component(scenario_name ${file} NAME_WE)
  file(READ ${file} scenario_text)
  string(APPEND ocisim_scenarios_text "    if (name == \"${scenario_name}\") return R\"ocisimscn(${scenario_text})ocisimscn\";\n")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${file})
endforeach()
string(APPEND ocisim_scenarios_text "    return nullptr;\n}\n\n}  // namespace ocisim\n")
file(WRITE ${ocisim_scenarios_cpp}.new "${ocisim_scenarios_text}")
configure_file(${ocisim_scenarios_cpp}.new ${ocisim_scenarios_cpp} COPYONLY)
target_sources(ocisim_engine PRIVATE ${ocisim_scenarios_cpp})
find_package(Threads REQUIRED)
target_link_libraries(ocisim_engine PUBLIC Threads::Threads)
