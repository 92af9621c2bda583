# Installing the programs, the manual pages, the library with its header, a
# CMake package and a pkg-config file; and packaging them as a .deb.
include(CMakePackageConfigHelpers)

install(TARGETS droplevel_program droplevels_program RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Manual pages go in compressed, as Debian's policy asks (-n: no time stamp,
# so the package is reproducible).
find_program(GZIP_PROGRAM gzip REQUIRED)
foreach(page droplevel droplevels)
  add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/man/${page}.1.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/man
    COMMAND ${GZIP_PROGRAM} -9 -n -c ${CMAKE_CURRENT_SOURCE_DIR}/man/${page}.1 > ${CMAKE_CURRENT_BINARY_DIR}/man/${page}.1.gz
    DEPENDS man/${page}.1 VERBATIM)
  list(APPEND DROPLEVEL_MAN_PAGES ${CMAKE_CURRENT_BINARY_DIR}/man/${page}.1.gz)
endforeach()
add_custom_target(man_pages ALL DEPENDS ${DROPLEVEL_MAN_PAGES})
install(FILES ${DROPLEVEL_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES src/droplevel/level.hpp src/droplevel/extended.hpp
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/droplevel)
install(TARGETS droplevel EXPORT droplevel-targets ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})

set(DROPLEVEL_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/droplevel)
install(EXPORT droplevel-targets NAMESPACE droplevel:: DESTINATION ${DROPLEVEL_CMAKE_DIR})
configure_package_config_file(cmake/droplevel-config.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/droplevel-config.cmake
  INSTALL_DESTINATION ${DROPLEVEL_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/droplevel-config-version.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/droplevel-config.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/droplevel-config-version.cmake
        DESTINATION ${DROPLEVEL_CMAKE_DIR})

# The prefix is found from the file's own place (pkg-config's ${pcfiledir}),
# so the file stays right wherever the tree is installed or unpacked.
file(RELATIVE_PATH DROPLEVEL_PC_TO_PREFIX "/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/")
configure_file(cmake/droplevel.pc.in ${CMAKE_CURRENT_BINARY_DIR}/droplevel.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/droplevel.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME droplevel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "droplevel maintainers <maintainers@users.noreply.c-seed-3d2a55f3.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "level from which a falling body reaches a speed, exactly")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "level from which a falling body reaches a speed, exactly
 droplevel reads a speed and prints the level, 5 height units apart, from
 which a body falling from rest under gravity 9.8 reaches it. The answer is
 defined by a fixed sequence of 80-bit extended-precision operations, which
 droplevel carries out in software, bit for bit, on every platform.
 .
 The package holds droplevel, droplevels (many speeds at once), their manual
 pages, and the static library libdroplevel.a with its header, CMake package
 and pkg-config file.")
set(CPACK_DEBIAN_PACKAGE_SECTION math)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# The programs are static, so the package depends on nothing.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
include(CPack)
