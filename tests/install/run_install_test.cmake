# The library as downstream projects see it (cmake -P):
#   1. install the already-built tree into a fresh prefix and build
#      tests/install/downstream against the CMake package;
#   2. build the same program with the flags plain pkg-config gives: the
#      static install must link without --static;
#   3. configure and build a shared variant of the library in a scratch
#      directory, check its SONAME and that it exports the public names and
#      none of the internal ones, install it and build the program with its
#      pkg-config flags.
# The program has headers of its own named like the library's (core/string.h,
# math/vector.h) on its include path; only include/ may be on the path.
# Arguments: SOURCE_DIR, BUILD_DIR, WORK_DIR, GENERATOR, CXX, C, LIBDIR,
# VERSION.
file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)
set(program ${SOURCE_DIR}/tests/install/downstream/main.cpp)
set(user_include -I${SOURCE_DIR}/tests/install/downstream/user)

function(run what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(rc)
    message(FATAL_ERROR "${what} failed (${rc}):\n${out}\n${err}")
  endif()
  set(run_output "${out}" PARENT_SCOPE)
endfunction()

# 1. The CMake package.
run("install" ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
run("downstream configure" ${CMAKE_COMMAND} -S ${SOURCE_DIR}/tests/install/downstream
  -B ${WORK_DIR}/build -G ${GENERATOR} -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_CXX_COMPILER=${CXX})
run("downstream build" ${CMAKE_COMMAND} --build ${WORK_DIR}/build)
run("downstream program" ${WORK_DIR}/build/downstream)
message(STATUS "CMake package: ${run_output}")

# 2. pkg-config of the static install.
set(ENV{PKG_CONFIG_PATH} ${prefix}/${LIBDIR}/pkgconfig)
run("pkg-config --modversion" pkg-config --modversion quillory)
string(STRIP "${run_output}" pc_version)
if(NOT pc_version STREQUAL VERSION)
  message(FATAL_ERROR "quillory.pc says version ${pc_version}, the project ${VERSION}")
endif()
run("pkg-config --cflags --libs" pkg-config --cflags --libs quillory)
separate_arguments(pc_flags UNIX_COMMAND "${run_output}")
run("pkg-config build" ${CXX} -std=c++17 ${program} -o ${WORK_DIR}/downstream-pc ${user_include} ${pc_flags})
run("pkg-config program" ${WORK_DIR}/downstream-pc)
message(STATUS "pkg-config: ${run_output}")

# 3. The shared library, built unoptimised and without debug information:
# what is checked is the link, and that builds fastest.
set(shared ${WORK_DIR}/shared)
run("shared configure" ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${shared} -G ${GENERATOR}
  -DCMAKE_CXX_COMPILER=${CXX} -DCMAKE_C_COMPILER=${C}
  -DBUILD_SHARED_LIBS=ON -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-O0 -DCMAKE_C_FLAGS_DEBUG=-O0
  -DQUILLORY_BUILD_TESTS=OFF -DQUILLORY_BUILD_BENCH=OFF -DQUILLORY_BUILD_EXAMPLES=OFF)
# The tool is built too, since installing wants every installed file.
run("shared build" ${CMAKE_COMMAND} --build ${shared} --target quillory_shared quillory-tool)
set(library ${shared}/libquillory.so)

run("readelf" readelf -d ${library})
string(REGEX MATCH "Library soname: \\[([A-Za-z0-9_.+-]*)\\]" _ "${run_output}")
set(soname "${CMAKE_MATCH_1}")
string(REGEX MATCH "^[0-9]+" major "${VERSION}")
if(NOT soname STREQUAL "libquillory.so.${major}")
  message(FATAL_ERROR "SONAME is '${soname}', not libquillory.so.${major}")
endif()

run("nm" nm -D -C --defined-only ${library})
# One name a line, without address and type.
string(REGEX REPLACE "(^|\n)[0-9a-f]* [A-Za-z] " "\\1" exported "${run_output}")
string(PREPEND exported "\n")
# Public function templates constrained by std::enable_if carry it as their
# return type in the demangled name; the name that matters follows it.
string(REGEX REPLACE "\nstd::enable_if<[^\n]*>::type " "\n" exported "${exported}")
foreach(name
    "Gfx_Surface_BlitTransformed(" "Gfx_Image_SavePNG(" "Gfx_GetVersion()" "Gfx_SetError("
    "Mem_Copy(" "Win_ProcessMessages()" "C_Image::CreateEmpty(" "C_Blit_Kernel::Blit_Fixed("
    "vtable for C_Image" "typeinfo for C_Surface" "operator*(float, C_Color const&)")
  string(FIND "${exported}" "\n${name}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "libquillory.so does not export ${name}")
  endif()
endforeach()
# Internal helpers (declared in internal/ headers) stay inside, and so do the
# standard library's template instances, which every program makes its own
# (their names start with the namespace or with a return type).
foreach(name
    "\nGfx_Image_AllocPixels(" "\nGfx_SpanKernels_Scalar(" "\nWin_ComposePixels("
    "\nWin_NewHeadlessBackend(" "\nC_FileReplace::" "\nC_ByteSource::" "\nstd::"
    "\n__gnu_cxx::" "* std::" "& std::" "\noperator new" "\noperator delete")
  string(FIND "${exported}" "${name}" at)
  if(NOT at EQUAL -1)
    string(STRIP "${name}" shown)
    message(FATAL_ERROR "libquillory.so exports the internal ${shown}")
  endif()
endforeach()

# The shared install's pkg-config shape: plain --libs names only the library.
set(shared_prefix ${WORK_DIR}/prefix-shared)
run("shared install" ${CMAKE_COMMAND} --install ${shared} --prefix ${shared_prefix})
set(ENV{PKG_CONFIG_PATH} ${shared_prefix}/${LIBDIR}/pkgconfig)
run("shared pkg-config" pkg-config --cflags --libs quillory)
if(run_output MATCHES "-lpng")
  message(FATAL_ERROR "the shared install's plain --libs names libpng: ${run_output}")
endif()
separate_arguments(pc_flags UNIX_COMMAND "${run_output}")
run("shared downstream build" ${CXX} -std=c++17 ${program} -o ${WORK_DIR}/downstream-shared
  ${user_include} ${pc_flags} -Wl,-rpath,${shared_prefix}/${LIBDIR})
run("readelf downstream" readelf -d ${WORK_DIR}/downstream-shared)
if(NOT run_output MATCHES "libquillory\\.so")
  message(FATAL_ERROR "the program built from the shared install's flags does not use libquillory.so")
endif()
run("shared downstream program" ${WORK_DIR}/downstream-shared)
message(STATUS "shared library: ${run_output}")
