# Install the already-built tree into a fresh prefix, then configure, build
# and run tests/install/downstream against it.
file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix}
  RESULT_VARIABLE rc)
if(rc)
  message(FATAL_ERROR "install failed: ${rc}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR}/tests/install/downstream
    -B ${WORK_DIR}/build -G ${GENERATOR} -DCMAKE_PREFIX_PATH=${prefix}
  RESULT_VARIABLE rc)
if(rc)
  message(FATAL_ERROR "downstream configure failed: ${rc}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${WORK_DIR}/build RESULT_VARIABLE rc)
if(rc)
  message(FATAL_ERROR "downstream build failed: ${rc}")
endif()
execute_process(COMMAND ${WORK_DIR}/build/downstream RESULT_VARIABLE rc OUTPUT_VARIABLE out)
message(STATUS "downstream said: ${out}")
if(rc)
  message(FATAL_ERROR "downstream program failed: ${rc}")
endif()
