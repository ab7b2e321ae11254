# The source lists of the host stand-in, the library and the drawing kit, kept here once for the native
# build (CMakeLists.txt, kit/CMakeLists.txt) and the WebAssembly build (web/CMakeLists.txt), so that a
# file added to one cannot be missing from the other.
# Out (absolute paths): KVHOST_SOURCES, KVHLR_SOURCES (the library), KVHLR_KIT_SOURCES (the kit's files
# that build everywhere) and KVHLR_KIT_NATIVE_SOURCES (those that need the machine around them: files
# on disk, the CAD reader's process, the import library, cairo), which the browser's module leaves out.
get_filename_component(kvhlr_source_root ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)
file(GLOB KVHOST_SOURCES CONFIGURE_DEPENDS ${kvhlr_source_root}/host/*.cpp)
file(GLOB KVHLR_SOURCES CONFIGURE_DEPENDS ${kvhlr_source_root}/api/*.cpp ${kvhlr_source_root}/Hlr/*.cpp
     ${kvhlr_source_root}/WindowQuery/*.cpp ${kvhlr_source_root}/kdtree/*.cpp)

set(KVHLR_KIT_SOURCES
  InputFile.cpp
  JsonFile.cpp
  NumberText.cpp
  WorkSharing.cpp
  mesh/DemoPart.cpp
  mesh/MeshPart.cpp
  mesh/MeshReading.cpp
  mesh/ObjReader.cpp
  mesh/StlReader.cpp
  mesh/VertexWelder.cpp
  camera/CameraChoice.cpp
  camera/CameraFile.cpp
  camera/CameraFit.cpp
  drawing/DrawMesh.cpp
  drawing/Drawing.cpp
  drawing/Geometry.cpp
  drawing/NearPlaneCut.cpp
  drawing/LevelCut.cpp
  drawing/Section.cpp
  drawing/SectionCut.cpp
  drawing/SectionDrawing.cpp
  drawing/Curves.cpp
  drawing/PartLines.cpp
  sheet/ArcFit.cpp
  sheet/Dashes.cpp
  sheet/Paper.cpp
  sheet/PenOrder.cpp
  sheet/Sheet.cpp
  sheet/SheetViews.cpp
  sheet/Style.cpp
  output/DrawingJson.cpp
  output/DxfWriter.cpp
  output/SvgWriter.cpp)
set(KVHLR_KIT_NATIVE_SOURCES
  mesh/DeclaredSizes.cpp
  mesh/CadProcess.cpp
  mesh/CadStream.cpp
  mesh/MeshFile.cpp
  output/AtomicFile.cpp
  output/DrawingFile.cpp
  output/PdfWriter.cpp)
list(TRANSFORM KVHLR_KIT_SOURCES PREPEND ${kvhlr_source_root}/kit/)
list(TRANSFORM KVHLR_KIT_NATIVE_SOURCES PREPEND ${kvhlr_source_root}/kit/)
