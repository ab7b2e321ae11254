# Installs the library, the drawing kit, the host stand-in and their headers with a CMake package
# config, so that a host writes find_package(KelvarHLR) and links KelvarHLR::Kelvar_HLR (and
# KelvarHLR::Kelvar_HLR_Kit for the kit).
include(CMakePackageConfigHelpers)

install(TARGETS Kelvar_HLR Kelvar_HLR_Kit kelvar_host EXPORT KelvarHLRTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/KelvarHLR)
# The kit's CAD reader, a program it starts from beside its own library (kit/mesh/CadProcess.h).
if(TARGET kvhlr_cad)
  install(TARGETS kvhlr_cad RUNTIME DESTINATION ${CMAKE_INSTALL_LIBDIR})
endif()

# The headers named and every project header they include, followed through the quoted includes
# (found from the source root, or from api/ as the library's own include path allows). A header
# whose includes change makes CMake look again.
function(kvhlr_header_closure out)
  set(pending ${ARGN})
  set(found "")
  while(pending)
    list(POP_FRONT pending header)
    if(header IN_LIST found)
      continue()
    endif()
    list(APPEND found ${header})
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${header})
    file(STRINGS ${PROJECT_SOURCE_DIR}/${header} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\".*" "\\1" included "${line}")
      foreach(candidate ${included} api/${included})
        if(EXISTS ${PROJECT_SOURCE_DIR}/${candidate})
          list(APPEND pending ${candidate})
          break()
        endif()
      endforeach()
    endforeach()
  endwhile()
  set(${out} ${found} PARENT_SCOPE)
endfunction()

# A host gets the headers it needs and no more: the umbrella header and what it includes, and the
# drawing kit's public headers (kit/CMakeLists.txt lists them) with what they include. The stages'
# internals (window-query tree, kd-tree, connectors, pipeline helpers) and the kit's helpers stay out.
kvhlr_header_closure(public_headers api/Kelvar_HLR.h ${KVHLR_KIT_PUBLIC_HEADERS})
foreach(header ${public_headers})
  get_filename_component(dir ${header} DIRECTORY)
  install(FILES ${header} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/KelvarHLR/${dir})
endforeach()
install(FILES api/Kelvar_HLR.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/KelvarHLR)

install(EXPORT KelvarHLRTargets NAMESPACE KelvarHLR::
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/KelvarHLR)
configure_package_config_file(cmake/KelvarHLRConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/KelvarHLRConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/KelvarHLR)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/KelvarHLRConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/KelvarHLRConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/KelvarHLRConfigVersion.cmake
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/KelvarHLR)
