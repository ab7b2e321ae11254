# Installs the library, the drawing kit, the host stand-in and their headers with a CMake package
# config, so that a host writes find_package(KelvarHLR) and links KelvarHLR::Kelvar_HLR (and
# KelvarHLR::Kelvar_HLR_Kit for the kit).
include(CMakePackageConfigHelpers)

install(TARGETS Kelvar_HLR Kelvar_HLR_Kit kelvar_host EXPORT KelvarHLRTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/KelvarHLR)
install(FILES api/Kelvar_HLR.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/KelvarHLR)
foreach(dir api Hlr WindowQuery kdtree host kit)
  install(DIRECTORY ${dir}/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/KelvarHLR/${dir}
          FILES_MATCHING PATTERN "*.h")
endforeach()

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
