# Script mode: install the built library into a private prefix, build the consumer against it, run it.
set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${WORK_DIR})

function(run_step)
  execute_process(COMMAND ${ARGV} RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "step failed (${result}): ${ARGV}")
  endif()
endfunction()

set(flags "")
if(SANITIZE)
  set(flags "-fsanitize=${SANITIZE}")
endif()
run_step(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
# Only what a host includes is installed: the pipeline's and the search tree's headers stay home.
foreach(internal api/SilhouettePipeline.h WindowQuery/RootTree.h)
  if(EXISTS ${prefix}/include/KelvarHLR/${internal})
    message(FATAL_ERROR "internal header installed: ${internal}")
  endif()
endforeach()
run_step(${CMAKE_COMMAND} -S ${SOURCE_DIR}/tests/package/consumer -B ${WORK_DIR}/build -G ${GENERATOR}
         -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_BUILD_TYPE=Release
         "-DCMAKE_CXX_FLAGS=${flags}" "-DCMAKE_EXE_LINKER_FLAGS=${flags}")
run_step(${CMAKE_COMMAND} --build ${WORK_DIR}/build)
run_step(${WORK_DIR}/build/consumer)
