# Installing on Linux (cmake --install) and the Debian packages (cpack, or the package target).
# Included from the top-level CMakeLists.txt for every build but Windows's, when the tree is the
# top project. With SUITEHELP_COMPONENT_ONLY it installs the component alone and makes no package.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# Installed programs find the library beside them in ../lib (so a tree installed anywhere works),
# or through the loader alone when it lands in a folder the loader searches anyway.
cmake_path(APPEND CMAKE_INSTALL_PREFIX ${CMAKE_INSTALL_LIBDIR} OUTPUT_VARIABLE library_folder)
if(TARGET suitehelp AND NOT library_folder IN_LIST CMAKE_PLATFORM_IMPLICIT_LINK_DIRECTORIES AND
   NOT library_folder IN_LIST CMAKE_C_IMPLICIT_LINK_DIRECTORIES)
    file(RELATIVE_PATH library_from_programs ${CMAKE_INSTALL_FULL_BINDIR}
         ${CMAKE_INSTALL_FULL_LIBDIR})
    set_target_properties(suitehelp PROPERTIES INSTALL_RPATH "$ORIGIN/${library_from_programs}")
endif()

# Manual pages and changelogs compressed as Debian keeps them, with no name or time inside, so
# that each build gives the same bytes (which Multi-Arch: same asks of the library's package).
find_program(GZIP_PROGRAM gzip REQUIRED)
function(add_compressed output source)
    add_custom_command(OUTPUT ${output}.gz
        COMMAND ${CMAKE_COMMAND} -E copy ${source} ${output}
        COMMAND ${GZIP_PROGRAM} -9nf ${output}
        DEPENDS ${source} VERBATIM)
    set_property(DIRECTORY APPEND PROPERTY compressed ${CMAKE_CURRENT_BINARY_DIR}/${output}.gz)
endfunction()
add_compressed(vlreg.1 ${PROJECT_SOURCE_DIR}/packaging/vlreg.1)
add_compressed(suitehelp.1 ${PROJECT_SOURCE_DIR}/packaging/suitehelp.1)
add_compressed(changelog ${PROJECT_SOURCE_DIR}/CHANGELOG.md)
add_compressed(changelog.Debian ${PROJECT_SOURCE_DIR}/packaging/debian/changelog)
get_directory_property(compressed compressed)
add_custom_target(compressed_docs ALL DEPENDS ${compressed})

# find_package(vlregut) gives vlregut::vlregut; any 1.x is compatible with 1.0.
write_basic_package_version_file(vlregutConfigVersion.cmake VERSION ${PROJECT_VERSION}
                                 COMPATIBILITY SameMajorVersion)
# pkg-config: the prefix is the one installed to, known only at install time (cpack installs
# to /usr, a build configured for /usr/local), the folders those of the layout.
set(PC_PREFIX "@prefix@")
set(PC_LIBDIR "@libdir@")
set(PC_INCLUDEDIR "@includedir@")
configure_file(packaging/vlregut.pc.in vlregut.pc.in @ONLY)

# Installs the tree in one layout: the library, its development files, and the programs of the
# list `programs` with their manual pages and vlreg's completion. LIBDIR, BINDIR, INCLUDEDIR,
# MANDIR, DATADIR: the folders; EXPORT: the name of the CMake package's export set; LIBRARY,
# DEVELOPMENT, PROGRAMS: the component arguments of each part's rules (none: a plain
# cmake --install's).
function(install_tree)
    cmake_parse_arguments(PARSE_ARGV 0 arg ""
        "LIBDIR;BINDIR;INCLUDEDIR;MANDIR;DATADIR;EXPORT" "LIBRARY;DEVELOPMENT;PROGRAMS")
    # libvlregut.so.1 and the development link libvlregut.so.
    install(TARGETS vlregut EXPORT ${arg_EXPORT}
            LIBRARY DESTINATION ${arg_LIBDIR} ${arg_LIBRARY}
            INCLUDES DESTINATION ${arg_INCLUDEDIR})
    install(FILES ${PROJECT_SOURCE_DIR}/vlregut/vlregut.h
            DESTINATION ${arg_INCLUDEDIR}/vlregut ${arg_DEVELOPMENT})
    set(cmake_folder ${arg_LIBDIR}/cmake/vlregut)
    install(EXPORT ${arg_EXPORT} FILE vlregutTargets.cmake NAMESPACE vlregut::
            DESTINATION ${cmake_folder} ${arg_DEVELOPMENT})
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/vlregutConfig.cmake
            ${PROJECT_BINARY_DIR}/vlregutConfigVersion.cmake
            DESTINATION ${cmake_folder} ${arg_DEVELOPMENT})
    # One file per prefix and layout, so that installs to several at once do not meet.
    install(CODE "
        set(prefix \"\${CMAKE_INSTALL_PREFIX}\")
        set(libdir \"${arg_LIBDIR}\")
        set(includedir \"${arg_INCLUDEDIR}\")
        set(folder \"\${prefix}/\${libdir}/pkgconfig\")
        set(generated \"${PROJECT_BINARY_DIR}/pkgconfig\${folder}/vlregut.pc\")
        configure_file(\"${PROJECT_BINARY_DIR}/vlregut.pc.in\" \"\${generated}\" @ONLY)
        file(INSTALL \"\${generated}\" DESTINATION \"\${folder}\")"
        ${arg_DEVELOPMENT})

    install(TARGETS ${programs} DESTINATION ${arg_BINDIR} ${arg_PROGRAMS})
    list(TRANSFORM programs APPEND .1.gz OUTPUT_VARIABLE pages)
    list(TRANSFORM pages PREPEND ${PROJECT_BINARY_DIR}/)
    install(FILES ${pages} DESTINATION ${arg_MANDIR}/man1 ${arg_PROGRAMS})
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/vlreg.bash
            DESTINATION ${arg_DATADIR}/bash-completion/completions RENAME vlreg ${arg_PROGRAMS})
endfunction()

# cmake --install: the folders this build was configured with.
install_tree(LIBDIR ${CMAKE_INSTALL_LIBDIR} BINDIR ${CMAKE_INSTALL_BINDIR}
             INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR} MANDIR ${CMAKE_INSTALL_MANDIR}
             DATADIR ${CMAKE_INSTALL_DATADIR} EXPORT vlregutTargets)
install(FILES ${PROJECT_BINARY_DIR}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME copyright)

if(SUITEHELP_COMPONENT_ONLY)
    return()  # the packages are made of the whole tree
endif()

# The Debian packages, whatever this build was configured with for cmake --install: laid out
# for /usr with the multiarch library folder, suitehelp without a RUNPATH. Each rule goes in the
# component of its package, which a plain cmake --install leaves out.
install_tree(LIBDIR lib/${CMAKE_LIBRARY_ARCHITECTURE} BINDIR bin INCLUDEDIR include MANDIR share/man
             DATADIR share EXPORT vlregutDebianTargets
             LIBRARY COMPONENT library NAMELINK_COMPONENT development EXCLUDE_FROM_ALL
             DEVELOPMENT COMPONENT development EXCLUDE_FROM_ALL
             PROGRAMS COMPONENT programs EXCLUDE_FROM_ALL)
install(CODE "file(RPATH_REMOVE FILE \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin/suitehelp\")"
        COMPONENT programs EXCLUDE_FROM_ALL)

# The Debian revision and the packages' changelog come from packaging/debian/changelog, whose
# latest entry must be for this version.
file(STRINGS packaging/debian/changelog latest LIMIT_COUNT 1)
if(NOT latest MATCHES "^suitehelp \\(${PROJECT_VERSION}-([0-9]+)\\) ")
    message(FATAL_ERROR "packaging/debian/changelog: the latest entry is not for "
                        "${PROJECT_VERSION}: ${latest}")
endif()
set(CPACK_DEBIAN_PACKAGE_RELEASE ${CMAKE_MATCH_1})
set(debian_version ${PROJECT_VERSION}-${CMAKE_MATCH_1})

# Each package's licence, in Debian's machine-readable form, and changelogs, upstream's and the
# package's.
file(READ LICENSE license)
if(NOT license MATCHES "^MIT License\n\nCopyright \\(c\\) ([^\n]+)\n\n(.+[^\n])\n*$")
    message(FATAL_ERROR "LICENSE: not the MIT licence with one copyright line")
endif()
set(COPYRIGHT ${CMAKE_MATCH_1})
# The terms as a field's continuation lines: each indented, an empty one a lone dot.
string(REPLACE "\n\n" "\n.\n" LICENSE_TERMS " ${CMAKE_MATCH_2}")
string(REPLACE "\n" "\n " LICENSE_TERMS "${LICENSE_TERMS}")
configure_file(packaging/debian/copyright.in debian/copyright @ONLY)
set(library_package libvlregut1)
set(development_package libvlregut-dev)
set(programs_package suitehelp)
foreach(component library development programs)
    string(TOUPPER ${component} COMPONENT)
    set(CPACK_DEBIAN_${COMPONENT}_PACKAGE_NAME ${${component}_package})
    install(FILES ${PROJECT_BINARY_DIR}/debian/copyright ${PROJECT_BINARY_DIR}/changelog.gz
            ${PROJECT_BINARY_DIR}/changelog.Debian.gz
            DESTINATION share/doc/${${component}_package} COMPONENT ${component} EXCLUDE_FROM_ALL)
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME suitehelp)
set(CPACK_PACKAGE_CONTACT "${SUITEHELP_PUBLISHER} <${SUITEHELP_CONTACT}>")
set(CPACK_PACKAGE_HOMEPAGE_URL ${SUITEHELP_URL})
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL library development programs)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SOURCE suitehelp)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

set(CPACK_DEBIAN_LIBRARY_PACKAGE_SECTION libs)
string(CONCAT CPACK_DEBIAN_LIBRARY_DESCRIPTION
    "install registry of the desktop product suite\n"
    "vlregut keeps named install folders for each product of the suite, such as\n"
    "its documents folder, in a machine-wide layer and in the user's own.\n"
    "This package holds the shared library.")
# dpkg-shlibdeps turns a program's need of libvlregut.so.1 into a dependency that any later 1.x
# satisfies; the symbols file tells from which version on each function is there. The loader's
# cache is refreshed through dpkg's trigger, once for all packages installed.
set(CPACK_DEBIAN_LIBRARY_PACKAGE_CONTROL_EXTRA
    ${PROJECT_SOURCE_DIR}/packaging/debian/shlibs ${PROJECT_SOURCE_DIR}/packaging/debian/symbols
    ${PROJECT_SOURCE_DIR}/packaging/debian/triggers)

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "libvlregut1 (= ${debian_version})")
string(CONCAT CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION
    "install registry of the desktop product suite - development files\n"
    "vlregut keeps named install folders for each product of the suite, such as\n"
    "its documents folder, in a machine-wide layer and in the user's own.\n"
    "This package holds what a program needs to be built against the library:\n"
    "the C header, the development link, a pkg-config file and a CMake package.")

set(CPACK_DEBIAN_PROGRAMS_PACKAGE_SECTION utils)
# What dpkg-shlibdeps would say with the library's package installed. Here it finds the library
# in the build, with no package to name, and leaves it out.
set(CPACK_DEBIAN_PROGRAMS_PACKAGE_DEPENDS "libvlregut1 (>= ${PROJECT_VERSION})")
get_target_property(library_build_folder vlregut BINARY_DIR)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${library_build_folder})
# Loaded or started at run time for the dialogs, so no dependency computation sees them.
set(CPACK_DEBIAN_PROGRAMS_PACKAGE_RECOMMENDS "libgtk-3-0 | zenity | kdialog")
string(CONCAT CPACK_DEBIAN_PROGRAMS_DESCRIPTION
    "help module of the desktop product suite\n"
    "suitehelp opens a product's documentation PDF, found through the suite's\n"
    "install registry, and asks the user for it when it has moved. The package\n"
    "also holds vlreg, the install registry's admin tool.")

# CPack 3.25 has no setting for the Multi-Arch field, and gives a library's package ldconfig
# calls in maintainer scripts of its own: packaging/debian/post_build.cmake mends both.
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/packaging/debian/post_build.cmake)
# The packages install to /usr, through DESTDIR so that the install sees that prefix itself
# (the pkg-config file names it).
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)
