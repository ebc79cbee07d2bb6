# Helpers that place libraries, plug-ins and tests where an installed IDE has them.

# add_ide_library(<target> SOURCES ... [DEPENDS ...] [PUBLIC_DEPENDS ...] [INCLUDES_ROOT dir])
# A shared library of the host framework in lib/qtcreator.
function(add_ide_library target)
  cmake_parse_arguments(ARG "" "INCLUDES_ROOT" "SOURCES;DEPENDS;PUBLIC_DEPENDS;DEFINES" ${ARGN})
  add_library(${target} SHARED ${ARG_SOURCES})
  target_link_libraries(${target} PRIVATE ${ARG_DEPENDS} PUBLIC ${ARG_PUBLIC_DEPENDS})
  target_compile_definitions(${target} PRIVATE ${ARG_DEFINES})
  if(ARG_INCLUDES_ROOT)
    target_include_directories(${target} PUBLIC ${ARG_INCLUDES_ROOT})
  endif()
  set_target_properties(${target} PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${IDE_LIBRARY_DIR})
endfunction()

# add_ide_plugin(<target> JSON_IN <file> SOURCES ... [DEPENDS ...] [PUBLIC_DEPENDS ...]
#                [PLUGIN_DEPENDS name...] [INCLUDES_ROOT dir] [DEFINES ...])
# A plug-in library in lib/qtcreator/plugins. Its <Name>.json.in is expanded the way
# Qt Creator's build expands it: escaped quotes are unescaped and $$QTCREATOR_VERSION,
# $$QTCREATOR_COMPAT_VERSION, $$QTCREATOR_COPYRIGHT_YEAR and $$dependencyList are replaced.
function(add_ide_plugin target)
  cmake_parse_arguments(ARG "" "JSON_IN;INCLUDES_ROOT"
    "SOURCES;DEPENDS;PUBLIC_DEPENDS;PLUGIN_DEPENDS;DEFINES" ${ARGN})

  set(dependency_list "")
  foreach(dep IN LISTS ARG_PLUGIN_DEPENDS)
    if(dependency_list)
      string(APPEND dependency_list ",\n")
    endif()
    string(APPEND dependency_list "        { \"Name\" : \"${dep}\", \"Version\" : \"${IDE_VERSION}\" }")
  endforeach()
  set(dependency_list "\"Dependencies\" : [\n${dependency_list}\n    ]")

  get_filename_component(json_name ${ARG_JSON_IN} NAME)
  string(REGEX REPLACE "\\.in$" "" json_name "${json_name}")
  file(READ ${CMAKE_CURRENT_SOURCE_DIR}/${ARG_JSON_IN} json)
  string(REPLACE "\\\"" "\"" json "${json}")
  string(REPLACE "\\'" "'" json "${json}")
  string(REPLACE "$$QTCREATOR_VERSION" "${IDE_VERSION}" json "${json}")
  string(REPLACE "$$QTCREATOR_COMPAT_VERSION" "${IDE_VERSION_COMPAT}" json "${json}")
  string(REPLACE "$$QTCREATOR_COPYRIGHT_YEAR" "${IDE_COPYRIGHT_YEAR}" json "${json}")
  string(REPLACE "$$dependencyList" "${dependency_list}" json "${json}")
  file(GENERATE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/${json_name} CONTENT "${json}")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${ARG_JSON_IN})

  add_library(${target} SHARED ${ARG_SOURCES})
  target_link_libraries(${target} PRIVATE ${ARG_DEPENDS} PUBLIC ${ARG_PUBLIC_DEPENDS})
  target_compile_definitions(${target} PRIVATE ${ARG_DEFINES})
  target_include_directories(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR})
  if(ARG_INCLUDES_ROOT)
    target_include_directories(${target} PUBLIC ${ARG_INCLUDES_ROOT})
  endif()
  set_target_properties(${target} PROPERTIES
    LIBRARY_OUTPUT_DIRECTORY ${IDE_PLUGIN_DIR}
    AUTOMOC_MOC_OPTIONS "-I${CMAKE_CURRENT_BINARY_DIR}")
endfunction()

# add_ide_test(<name> SOURCES ... [DEPENDS ...] [LABELS ...] [TIMEOUT seconds])
# A QtTest suite run headless by CTest. The suite finds the build tree through
# QUILLMARK_BUILD_DIR and never touches the user's settings or home folder.
function(add_ide_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;DEPENDS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE Qt5::Test ${ARG_DEPENDS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/bin)
  add_test(NAME ${name} COMMAND ${name})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES
    TIMEOUT ${ARG_TIMEOUT}
    LABELS "${ARG_LABELS}"
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QUILLMARK_BUILD_DIR=${CMAKE_BINARY_DIR};QUILLMARK_SOURCE_DIR=${CMAKE_SOURCE_DIR};HOME=${CMAKE_BINARY_DIR}/tests/home;XDG_CONFIG_HOME=${CMAKE_BINARY_DIR}/tests/home/.config")
endfunction()

# Adds every direct subfolder of the current source folder that holds a CMakeLists.txt.
macro(add_all_subdirectories)
  file(GLOB _subdirectories LIST_DIRECTORIES true ${CMAKE_CURRENT_SOURCE_DIR}/*)
  foreach(_subdirectory IN LISTS _subdirectories)
    if(IS_DIRECTORY ${_subdirectory} AND EXISTS ${_subdirectory}/CMakeLists.txt)
      add_subdirectory(${_subdirectory})
    endif()
  endforeach()
endmacro()
