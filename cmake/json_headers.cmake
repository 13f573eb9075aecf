# The JSON library (header-only) as the target nlohmann_json::nlohmann_json.
# Its headers come from PyPI's nlohmann-json package in the Python at hand (a
# build requirement in pyproject.toml), so a build from source needs no
# system package; without that package, from an installed CMake package.
# Shared by the main build and the fuzz targets (bench/fuzz).
if(NOT Python_Interpreter_FOUND)
  find_package(Python 3.11 COMPONENTS Interpreter)
endif()

# Searched at every configure: a build environment's package lives in a
# temporary directory that the next build does not have.
set(QUORVANE_JSON_INCLUDE "" CACHE PATH "Directory holding nlohmann/json.hpp (empty: searched)")
set(json_include "${QUORVANE_JSON_INCLUDE}")
if(NOT json_include AND Python_Interpreter_FOUND)
  execute_process(
    COMMAND "${Python_EXECUTABLE}" -c
      "import importlib.util, os; s = importlib.util.find_spec('nlohmann_json'); print(os.path.join(list(s.submodule_search_locations)[0], 'include') if s else '')"
    OUTPUT_VARIABLE json_found OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(json_found AND EXISTS "${json_found}/nlohmann/json.hpp")
    set(json_include "${json_found}")
  endif()
endif()
if(json_include)
  message(STATUS "JSON headers: ${json_include}")
  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
  # Imported, so -isystem: searched before /usr/include, where a system copy
  # of another version may lie.
  set_target_properties(nlohmann_json::nlohmann_json PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES "${json_include}")
else()
  find_package(nlohmann_json 3.10 REQUIRED)
endif()
