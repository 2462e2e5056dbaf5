# Install rules: the shared kit, its public headers, a CMake package and a pkg-config file.
include(CMakePackageConfigHelpers)

# Hosts compile the public headers as C++20.
target_compile_features(velkora INTERFACE cxx_std_20)

install(TARGETS velkora EXPORT velkoraTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
    INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY include/velkora DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY resources/ DESTINATION ${CMAKE_INSTALL_DATADIR}/velkora OPTIONAL)
install(EXPORT velkoraTargets NAMESPACE velkora:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/velkora)

configure_package_config_file(cmake/velkoraConfig.cmake.in
    ${CMAKE_CURRENT_BINARY_DIR}/velkoraConfig.cmake
    INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/velkora)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/velkoraConfigVersion.cmake
    COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/velkoraConfig.cmake ${CMAKE_CURRENT_BINARY_DIR}/velkoraConfigVersion.cmake
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/velkora)

# The pkg-config file finds the prefix from where it lies, so the tree can be installed anywhere
# (cmake --install --prefix) and still be found.
file(RELATIVE_PATH VELKORA_PC_TO_PREFIX ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" VELKORA_PC_TO_PREFIX "${VELKORA_PC_TO_PREFIX}")
configure_file(cmake/velkora.pc.in ${CMAKE_CURRENT_BINARY_DIR}/velkora.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/velkora.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
