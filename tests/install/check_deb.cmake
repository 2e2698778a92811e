# Builds the three Debian packages and checks them as dpkg-deb, dpkg-parsechangelog,
# dpkg-gensymbols, readelf and lintian see them.
# -D: SOURCE_DIR, BUILD_DIR, WORK, VERSION, LIBDIR (the multiarch library folder), CPACK,
# HARDENED and FORTIFIED (whether the binaries carry the hardening, and the checked functions).
function(run)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE failed OUTPUT_VARIABLE out
                    ERROR_VARIABLE errors)
    if(failed)
        message(FATAL_ERROR "${ARGN}: ${failed}\n${out}${errors}")
    endif()
    set(out "${out}" PARENT_SCOPE)
endfunction()

foreach(tool dpkg-deb dpkg-shlibdeps dpkg-parsechangelog dpkg-gensymbols lintian)
    find_program(found ${tool} NO_CACHE)
    if(NOT found)
        message(FATAL_ERROR "${tool} is needed: install dpkg-dev and lintian "
                            "(scripts/native-packages)")
    endif()
endforeach()
file(REMOVE_RECURSE ${WORK})
run(${CPACK} -G DEB --config ${BUILD_DIR}/CPackConfig.cmake -B ${WORK})
run(dpkg --print-architecture)
string(STRIP "${out}" architecture)
# The packages' version is that of their changelog's latest entry: this version, a revision.
run(dpkg-parsechangelog -l ${SOURCE_DIR}/packaging/debian/changelog -S Version)
string(STRIP "${out}" version)
if(NOT version MATCHES "^${VERSION}-[0-9]+$")
    message(FATAL_ERROR "packaging/debian/changelog is for ${version}")
endif()

# Per package: its fields (a pattern), its control files, and its files (links too).
set(version_lines "Version: ${version}\nArchitecture: ${architecture}\n")
# Computed from the binaries: the C library's among others (a sanitizer's runtime, GLib).
set(libc "([^\n]+, )?libc6 \\(>= [^)]+\\)(, [^\n]+)?")
set(library libvlregut1)
set(library_fields "^Package: libvlregut1\n${version_lines}Multi-Arch: same\nSection: libs\n"
                   "Depends: ${libc}\n$")
set(library_control control md5sums shlibs symbols triggers)
set(library_files ${LIBDIR}/libvlregut.so.1 ${LIBDIR}/libvlregut.so.${VERSION})
set(development libvlregut-dev)
set(development_fields "^Package: libvlregut-dev\n${version_lines}Section: libdevel\n"
                       "Depends: libvlregut1 \\(= ${version}\\)\n$")
set(development_control control md5sums)
set(development_files include/vlregut/vlregut.h ${LIBDIR}/libvlregut.so
    ${LIBDIR}/pkgconfig/vlregut.pc ${LIBDIR}/cmake/vlregut/vlregutConfig.cmake
    ${LIBDIR}/cmake/vlregut/vlregutConfigVersion.cmake
    ${LIBDIR}/cmake/vlregut/vlregutTargets.cmake
    ${LIBDIR}/cmake/vlregut/vlregutTargets-CONFIG.cmake)
set(programs suitehelp)
set(programs_fields "^Package: suitehelp\n${version_lines}Section: utils\n"
                    "Depends: libvlregut1 \\(>= ${VERSION}\\), ${libc}\n"
                    "Recommends: libgtk-3-0 \\| zenity \\| kdialog\n$")
set(programs_control control md5sums)
set(programs_files bin/suitehelp bin/vlreg share/man/man1/suitehelp.1.gz
    share/man/man1/vlreg.1.gz share/bash-completion/completions/vlreg)

foreach(component library development programs)
    set(package ${${component}})
    set(deb ${WORK}/${package}_${version}_${architecture}.deb)
    run(dpkg-deb -f ${deb} Package Version Architecture Multi-Arch Section Depends Recommends)
    string(CONCAT pattern ${${component}_fields})
    if(NOT out MATCHES "${pattern}")
        message(FATAL_ERROR "${package}: fields\n${out}")
    endif()
    # No maintainer scripts: the loader's cache is refreshed by dpkg's trigger.
    run(dpkg-deb --control ${deb} ${WORK}/${package}.control)
    file(GLOB control RELATIVE ${WORK}/${package}.control ${WORK}/${package}.control/*)
    if(NOT control STREQUAL "${${component}_control}")
        message(FATAL_ERROR "${package}: control files ${control}")
    endif()
    set(expected ${${component}_files} share/doc/${package}/changelog.Debian.gz
        share/doc/${package}/changelog.gz share/doc/${package}/copyright)
    list(TRANSFORM expected PREPEND ./usr/)
    run(dpkg-deb -c ${deb})
    string(REGEX MATCHALL "(^|\n)[-l][^\n]* \\./usr/[^ \n]+" files "${out}")
    list(TRANSFORM files REPLACE "^.* " "")
    list(TRANSFORM files REPLACE "-[a-z]+\\.cmake$" "-CONFIG.cmake")
    list(SORT files)
    list(SORT expected)
    if(NOT files STREQUAL expected)
        message(FATAL_ERROR "${package}: files\n${out}")
    endif()
    run(dpkg-deb -x ${deb} ${WORK}/tree)
endforeach()
set(tree ${WORK}/tree/usr)

file(READ ${WORK}/libvlregut1.control/shlibs shlibs)
if(NOT shlibs STREQUAL "libvlregut 1 libvlregut1 (>= ${VERSION})\n")
    message(FATAL_ERROR "shlibs: ${shlibs}")
endif()
# The symbols file names each exported symbol, and nothing else.
run(dpkg-gensymbols -v${VERSION} -plibvlregut1 -e${tree}/${LIBDIR}/libvlregut.so.${VERSION}
    -I${WORK}/libvlregut1.control/symbols -O${WORK}/symbols -c4)

# Laid out for /usr, whatever the build was configured with for cmake --install.
file(STRINGS ${tree}/${LIBDIR}/pkgconfig/vlregut.pc folders REGEX "^(prefix|libdir)=")
if(NOT folders STREQUAL "prefix=/usr;libdir=\${prefix}/${LIBDIR}")
    message(FATAL_ERROR "vlregut.pc: ${folders}")
endif()
foreach(binary bin/suitehelp bin/vlreg ${LIBDIR}/libvlregut.so.${VERSION})
    run(readelf -W --dynamic --segments --dyn-syms ${tree}/${binary})
    if(out MATCHES "RPATH|RUNPATH")
        message(FATAL_ERROR "${binary} has a RUNPATH:\n${out}")
    endif()
    if(HARDENED AND NOT (out MATCHES "\\(FLAGS\\) +BIND_NOW" AND out MATCHES "GNU_RELRO" AND
                         out MATCHES " __stack_chk_fail@"))
        message(FATAL_ERROR "${binary}: no BIND_NOW, GNU_RELRO or stack protector:\n${out}")
    endif()
    if(FORTIFIED AND NOT out MATCHES " __[a-z]+_chk@")
        message(FATAL_ERROR "${binary} calls none of the C library's checked functions:\n${out}")
    endif()
endforeach()

# The packages' changelog is Debian's.
run(gzip -dc ${tree}/share/doc/suitehelp/changelog.Debian.gz)
file(WRITE ${WORK}/changelog "${out}")
run(dpkg-parsechangelog -l ${WORK}/changelog -S Version)
if(NOT out STREQUAL "${version}\n")
    message(FATAL_ERROR "changelog.Debian.gz: ${out}")
endif()

# No error and no warning but the one the README explains: a first revision that closes no
# request for packaging, which these packages, being the project's own, have none of.
run(lintian --pedantic ${WORK}/libvlregut1_${version}_${architecture}.deb
    ${WORK}/libvlregut-dev_${version}_${architecture}.deb
    ${WORK}/suitehelp_${version}_${architecture}.deb)
string(REGEX REPLACE "W: [^ ]+: initial-upload-closes-no-bugs [^\n]*\n" "" remaining "${out}")
if(remaining MATCHES "(^|\n)[EW]: ")
    message(FATAL_ERROR "lintian --pedantic:\n${out}")
endif()
