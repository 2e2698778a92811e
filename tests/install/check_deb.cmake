# Builds the Debian package and checks its fields and files as dpkg-deb shows them.
# -D: BUILD_DIR, WORK, VERSION, LIBDIR, CPACK.
function(run)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE failed OUTPUT_VARIABLE out
                    ERROR_VARIABLE errors)
    if(failed)
        message(FATAL_ERROR "${ARGN}: ${failed}\n${out}${errors}")
    endif()
    set(out "${out}" PARENT_SCOPE)
endfunction()

foreach(tool dpkg-deb dpkg-shlibdeps)
    find_program(found ${tool} NO_CACHE)
    if(NOT found)
        message(FATAL_ERROR "${tool} is needed: install dpkg-dev (scripts/native-packages)")
    endif()
endforeach()
file(REMOVE_RECURSE ${WORK})
run(${CPACK} -G DEB --config ${BUILD_DIR}/CPackConfig.cmake -B ${WORK})
run(dpkg --print-architecture)
string(STRIP "${out}" architecture)
set(deb ${WORK}/suitehelp_${VERSION}_${architecture}.deb)

set(expected_fields
    "Package: suitehelp" "Version: ${VERSION}" "Architecture: ${architecture}"
    "Recommends: libgtk-3-0 | zenity | kdialog")
run(dpkg-deb -f ${deb} Package Version Architecture Recommends)
string(STRIP "${out}" fields)
string(REPLACE "\n" ";" fields "${fields}")
if(NOT fields STREQUAL expected_fields)
    message(FATAL_ERROR "fields: ${fields}")
endif()
# Computed from the programs' and the library's own needs.
run(dpkg-deb -f ${deb} Depends)
if(NOT out MATCHES "(^|, )libc6 \\(>= [^)]+\\)(,|\n)")
    message(FATAL_ERROR "Depends: ${out}")
endif()

set(expected_files
    bin/suitehelp bin/vlreg ${LIBDIR}/libvlregut.so.1 ${LIBDIR}/libvlregut.so
    include/vlregut/vlregut.h ${LIBDIR}/pkgconfig/vlregut.pc
    ${LIBDIR}/cmake/vlregut/vlregutConfig.cmake
    ${LIBDIR}/cmake/vlregut/vlregutConfigVersion.cmake
    ${LIBDIR}/cmake/vlregut/vlregutTargets.cmake
    share/man/man1/suitehelp.1.gz share/man/man1/vlreg.1.gz
    share/bash-completion/completions/vlreg
    share/doc/suitehelp/copyright share/doc/suitehelp/changelog.gz)
run(dpkg-deb -c ${deb})
foreach(file ${expected_files})
    if(NOT out MATCHES " \\./usr/${file}( -> [^\n]+)?\n")
        message(FATAL_ERROR "usr/${file} is not in the package:\n${out}")
    endif()
endforeach()

# The package installs to /usr, and its pkg-config file says so.
run(dpkg-deb -x ${deb} ${WORK}/tree)
file(STRINGS ${WORK}/tree/usr/${LIBDIR}/pkgconfig/vlregut.pc prefix REGEX "^prefix=")
if(NOT prefix STREQUAL "prefix=/usr")
    message(FATAL_ERROR "vlregut.pc: ${prefix}")
endif()
