# What the shared library exports. GNU-style linkers get a version script
# generated from the public headers (cmake/QuilloryExportMap.cmake), which
# leaves every header untouched: no export macros. Other platforms export
# everything.
if(NOT TARGET quillory_shared)
  return()
endif()

if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang" AND NOT APPLE AND NOT WIN32)
  set(_header_list ${PROJECT_BINARY_DIR}/quillory-public-headers.txt)
  set(_map ${PROJECT_BINARY_DIR}/quillory.map)
  set(_public_headers ${QUILLORY_HEADERS} ${QUILLORY_GENERATED_INCLUDE_DIR}/core/version.h)
  list(JOIN _public_headers "\n" _header_lines)
  file(CONFIGURE OUTPUT ${_header_list} CONTENT "${_header_lines}\n")
  add_custom_command(OUTPUT ${_map}
    COMMAND ${CMAKE_COMMAND} -DHEADER_LIST=${_header_list}
      -DTEMPLATE=${PROJECT_SOURCE_DIR}/cmake/quillory.map.in -DOUTPUT=${_map}
      -P ${PROJECT_SOURCE_DIR}/cmake/QuilloryExportMap.cmake
    DEPENDS ${_public_headers} ${_header_list} ${PROJECT_SOURCE_DIR}/cmake/quillory.map.in
      ${PROJECT_SOURCE_DIR}/cmake/QuilloryExportMap.cmake
    COMMENT "Listing the public symbols of libquillory.so"
    VERBATIM)
  add_custom_target(quillory_export_map DEPENDS ${_map})
  add_dependencies(quillory_shared quillory_export_map)
  target_link_options(quillory_shared PRIVATE "LINKER:--version-script=${_map}")
  # Every symbol the library needs must come from a library it links; the
  # sanitizers' runtimes are the exception, supplied by the program.
  if(NOT QUILLORY_SANITIZE AND NOT QUILLORY_FUZZ)
    target_link_options(quillory_shared PRIVATE "LINKER:--no-undefined")
  endif()
  set_target_properties(quillory_shared PROPERTIES LINK_DEPENDS ${_map})
elseif(WIN32)
  set_target_properties(quillory_shared PROPERTIES WINDOWS_EXPORT_ALL_SYMBOLS ON)
endif()
