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
# Of the drawing kit, exactly its interface: what kvhlr, the Python module and the examples include,
# with what that includes. Its helpers (readers, welder, dash cutter, the writers of each format) stay
# home, so that they can change without breaking a host.
set(kit_interface
  kit/EllipseArc.h kit/InputError.h kit/InputFile.h kit/NumberText.h
  kit/mesh/DemoPart.h kit/mesh/MeshFile.h kit/mesh/MeshPart.h
  kit/camera/CameraChoice.h kit/camera/CameraFile.h kit/camera/CameraFit.h
  kit/drawing/DrawMesh.h kit/drawing/Drawing.h kit/drawing/Section.h
  kit/sheet/ArcFit.h kit/sheet/Page.h kit/sheet/Paper.h kit/sheet/PenOrder.h kit/sheet/Sheet.h kit/sheet/SheetViews.h kit/sheet/Style.h
  kit/output/AtomicFile.h kit/output/DrawingFile.h)
file(GLOB_RECURSE installed RELATIVE ${prefix}/include/KelvarHLR ${prefix}/include/KelvarHLR/kit/*)
list(SORT installed)
list(SORT kit_interface)
if(NOT installed STREQUAL kit_interface)
  message(FATAL_ERROR "installed kit headers: ${installed}\nexpected: ${kit_interface}")
endif()
# The Python module is a host like the others: its sources include nothing of ours that is not installed.
file(GLOB python_sources ${SOURCE_DIR}/python/*.cpp ${SOURCE_DIR}/python/*.h)
foreach(source IN LISTS python_sources)
  file(STRINGS ${source} includes REGEX "^#include \"")
  foreach(line IN LISTS includes)
    string(REGEX REPLACE "^#include \"([^\"]+)\".*" "\\1" header "${line}")
    if(NOT header MATCHES "^python/" AND NOT EXISTS ${prefix}/include/KelvarHLR/${header})
      message(FATAL_ERROR "${source} includes ${header}, which is not installed")
    endif()
  endforeach()
endforeach()
run_step(${CMAKE_COMMAND} -S ${SOURCE_DIR}/tests/package/consumer -B ${WORK_DIR}/build -G ${GENERATOR}
         -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_BUILD_TYPE=Release -DKVHLR_SOURCE_DIR=${SOURCE_DIR}
         "-DCMAKE_CXX_FLAGS=${flags}" "-DCMAKE_EXE_LINKER_FLAGS=${flags}")
run_step(${CMAKE_COMMAND} --build ${WORK_DIR}/build)
run_step(${WORK_DIR}/build/consumer)
# The kit's example, built on the installed interface alone, draws a model.
run_step(${WORK_DIR}/build/draw_mesh ${SOURCE_DIR}/tests/kit/data/cube.obj ${WORK_DIR}/cube.svg)
