# Run by cpack once it has built the Debian packages (CPACK_POST_BUILD_SCRIPTS), for what CPack
# 3.25 cannot do itself in the library's package: declare it Multi-Arch: same (a copy of it per
# architecture may be installed at once), and leave out the maintainer scripts that CPack writes
# for any package with a library under /usr/lib. They only call ldconfig, which dpkg's ldconfig
# trigger (the package's triggers file) already runs, once for all packages installed together.
# The package is unpacked, mended and packed again with dpkg-deb; its files stay as they were.
find_program(DPKG_DEB dpkg-deb REQUIRED)

# What CPack writes, word for word: anything else is not taken away unseen.
set(cpack_postinst "#!/bin/sh\n\nset -e\n\nif [ \"$1\" = \"configure\" ]; then\n\tldconfig\nfi\n")
set(cpack_postrm "#!/bin/sh\n\nset -e\n\nif [ \"$1\" = \"remove\" ]; then\n\tldconfig\nfi\n")

foreach(deb IN LISTS CPACK_PACKAGE_FILES)
    cmake_path(GET deb FILENAME name)
    if(NOT name MATCHES "^${CPACK_DEBIAN_LIBRARY_PACKAGE_NAME}_")
        continue()
    endif()
    set(tree ${deb}.tree)
    file(REMOVE_RECURSE ${tree})
    execute_process(COMMAND ${DPKG_DEB} --raw-extract ${deb} ${tree} COMMAND_ERROR_IS_FATAL ANY)
    foreach(script postinst postrm)
        file(READ ${tree}/DEBIAN/${script} text)
        if(NOT text STREQUAL cpack_${script})
            message(FATAL_ERROR "${name}: CPack wrote a ${script} of its own:\n${text}")
        endif()
        file(REMOVE ${tree}/DEBIAN/${script})
    endforeach()
    file(READ ${tree}/DEBIAN/control control)
    string(REGEX REPLACE "(^|\n)(Architecture: [^\n]+\n)" "\\1\\2Multi-Arch: same\n" control
           "${control}")
    file(WRITE ${tree}/DEBIAN/control "${control}")
    execute_process(COMMAND ${DPKG_DEB} --root-owner-group --build ${tree} ${deb}
                    OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
    file(REMOVE_RECURSE ${tree})
endforeach()
