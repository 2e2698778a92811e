# Installing on Linux (cmake --install) and the Debian package (cpack -G DEB, or the package
# target). Included from the top-level CMakeLists.txt for every build but Windows's.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# Installed programs find the library beside them in ../lib (so a tree installed anywhere works),
# or through the loader alone when it lands in a folder the loader searches anyway.
cmake_path(APPEND CMAKE_INSTALL_PREFIX ${CMAKE_INSTALL_LIBDIR} OUTPUT_VARIABLE library_folder)
if(NOT library_folder IN_LIST CMAKE_PLATFORM_IMPLICIT_LINK_DIRECTORIES AND
   NOT library_folder IN_LIST CMAKE_C_IMPLICIT_LINK_DIRECTORIES)
    file(RELATIVE_PATH library_from_programs ${CMAKE_INSTALL_FULL_BINDIR}
         ${CMAKE_INSTALL_FULL_LIBDIR})
    set_target_properties(suitehelp PROPERTIES INSTALL_RPATH "$ORIGIN/${library_from_programs}")
endif()

install(TARGETS suitehelp vlreg)
# libvlregut.so.1 and the development link libvlregut.so.
install(TARGETS vlregut EXPORT vlregutTargets INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES vlregut/vlregut.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/vlregut)

# find_package(vlregut) gives vlregut::vlregut; any 1.x is compatible with 1.0.
set(cmake_folder ${CMAKE_INSTALL_LIBDIR}/cmake/vlregut)
install(EXPORT vlregutTargets NAMESPACE vlregut:: DESTINATION ${cmake_folder})
write_basic_package_version_file(vlregutConfigVersion.cmake VERSION ${PROJECT_VERSION}
                                 COMPATIBILITY SameMajorVersion)
install(FILES packaging/vlregutConfig.cmake
        ${CMAKE_CURRENT_BINARY_DIR}/vlregutConfigVersion.cmake DESTINATION ${cmake_folder})

# pkg-config: the prefix is the one installed to, known only at install time (cpack installs
# to /usr, a build configured for /usr/local). One file per prefix, so that installs to several
# prefixes at once do not meet.
set(PC_PREFIX "@prefix@")
configure_file(packaging/vlregut.pc.in vlregut.pc.in @ONLY)
install(CODE "
    set(prefix \"\${CMAKE_INSTALL_PREFIX}\")
    set(generated \"${CMAKE_CURRENT_BINARY_DIR}/pkgconfig\${prefix}/vlregut.pc\")
    configure_file(\"${CMAKE_CURRENT_BINARY_DIR}/vlregut.pc.in\" \"\${generated}\" @ONLY)
    file(INSTALL \"\${generated}\" DESTINATION \"\${prefix}/${CMAKE_INSTALL_LIBDIR}/pkgconfig\")")

# Manual pages and the changelog compressed, as Debian keeps them.
find_program(GZIP_PROGRAM gzip REQUIRED)
set(compressed)
foreach(source packaging/suitehelp.1 packaging/vlreg.1 CHANGELOG.md)
    cmake_path(GET source FILENAME name)
    if(name STREQUAL "CHANGELOG.md")
        set(name changelog)
    endif()
    add_custom_command(OUTPUT ${name}.gz
        COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_CURRENT_SOURCE_DIR}/${source} ${name}
        COMMAND ${GZIP_PROGRAM} -9nf ${name}
        DEPENDS ${source} VERBATIM)
    list(APPEND compressed ${CMAKE_CURRENT_BINARY_DIR}/${name}.gz)
endforeach()
add_custom_target(compressed_docs ALL DEPENDS ${compressed})
list(FILTER compressed INCLUDE REGEX "\\.1\\.gz$")
install(FILES ${compressed} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME copyright)
install(FILES packaging/vlreg.bash DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
        RENAME vlreg)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME suitehelp)
set(CPACK_PACKAGE_CONTACT "the suitehelp authors <dev@suitehelp.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "help module of the desktop product suite")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "suitehelp opens a product's documentation PDF, found through the suite's\n"
    "install registry: the vlregut library, its C header and the vlreg admin\n"
    "tool, also in this package.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
# The loader's cache is refreshed through dpkg's trigger, once for all packages installed.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_SOURCE_DIR}/packaging/triggers)
# Loaded or started at run time for the dialogs, so no dependency computation sees them.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libgtk-3-0 | zenity | kdialog")
# The package installs to /usr, through DESTDIR so that the install sees that prefix itself
# (the pkg-config file names it).
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)
