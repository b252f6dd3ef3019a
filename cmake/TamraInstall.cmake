# Install the headers, the shared library, the CMake package Tamra::Tamra and tamra.pc.
include(CMakePackageConfigHelpers)

install(TARGETS Tamra EXPORT TamraTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/tamra DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(EXPORT TamraTargets NAMESPACE Tamra:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Tamra)

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/TamraConfig.cmake.in
    ${PROJECT_BINARY_DIR}/TamraConfig.cmake
    INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Tamra)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/TamraConfigVersion.cmake
    COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/TamraConfig.cmake ${PROJECT_BINARY_DIR}/TamraConfigVersion.cmake
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Tamra)

configure_file(${PROJECT_SOURCE_DIR}/cmake/tamra.pc.in ${PROJECT_BINARY_DIR}/tamra.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/tamra.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
