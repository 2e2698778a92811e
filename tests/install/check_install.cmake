# Installs the build into a staging folder (DESTDIR) and builds a program of the suite against
# the staged component twice, through pkg-config and through find_package(vlregut), and against
# the source tree, pulled in with add_subdirectory; each reads back a value that the staged vlreg
# wrote. Also runs the staged bash completion for vlreg.
# -D: SOURCE_DIR, BUILD_DIR, WORK, PREFIX, LIBDIR, C_COMPILER, CXX_COMPILER, C_FLAGS, CXX_FLAGS,
# LINK_FLAGS, PKG_CONFIG, GENERATOR, HAS_RUNPATH (whether the programs are installed with a
# RUNPATH to the library).
function(run)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE failed OUTPUT_VARIABLE out
                    ERROR_VARIABLE out)
    if(failed)
        message(FATAL_ERROR "${ARGN}: ${failed}\n${out}")
    endif()
    set(out "${out}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${WORK})
set(ENV{DESTDIR} ${WORK}/stage)
run(${CMAKE_COMMAND} --install ${BUILD_DIR})
unset(ENV{DESTDIR})
set(stage ${WORK}/stage${PREFIX})
# The Debian packages' own rules stay out of a plain install.
if(EXISTS ${stage}/share/doc/libvlregut1)
    message(FATAL_ERROR "cmake --install installed the packages' layout too")
endif()

# The installed programs keep nothing of the build folder, and find the library by themselves.
foreach(program suitehelp vlreg)
    run(readelf -d ${stage}/bin/${program})
    string(FIND "${out}" "${BUILD_DIR}" found)
    if(NOT found EQUAL -1)
        message(FATAL_ERROR "bin/${program} names the build folder:\n${out}")
    endif()
endforeach()
if(HAS_RUNPATH)
    run(ldd ${stage}/bin/suitehelp)
    string(FIND "${out}" "libvlregut.so.1 => ${stage}/" found)
    if(found EQUAL -1)
        message(FATAL_ERROR "bin/suitehelp does not find the staged library:\n${out}")
    endif()
endif()

set(ENV{XDG_CONFIG_HOME} ${WORK}/config)
set(ENV{XDG_CONFIG_DIRS} ${WORK}/etc)
run(${stage}/bin/vlreg --system add Suite)
run(${stage}/bin/vlreg --system set Suite DocsDir "/opt/suite docs")

# The completion, called as bash calls it: the words typed, "|" between them, the last one
# being completed; then what it offers.
run(${stage}/bin/vlreg --system add "Other Suite")
run(${stage}/bin/vlreg --system set "Other Suite" "Docs Dir" /opt/other)
run(${stage}/bin/vlreg --system add -- -Suite)
run(${stage}/bin/vlreg --system set -- -Suite DocsDir /opt/dash)
set(complete [[source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _vlreg "$1"
              printf '%s\n' "${COMPREPLY[@]}"]])
foreach(row "get|Oth=Other\\ Suite" "get|Other\\ Suite|Do=Docs\\ Dir"
            "get|'Other Suite'|D=Docs\\ Dir" "get|--|-=-Suite" "get|--|-Suite|D=DocsDir")
    string(REGEX MATCH "^([^=]*)=(.*)$" row "${row}")
    string(REPLACE "|" ";" typed "${CMAKE_MATCH_1}")
    execute_process(COMMAND bash -c "${complete}" bash
                            ${stage}/share/bash-completion/completions/vlreg
                            ${stage}/bin/vlreg ${typed} OUTPUT_VARIABLE offered)
    if(NOT offered STREQUAL "${CMAKE_MATCH_2}\n")
        message(FATAL_ERROR "completing vlreg ${typed}, offered:\n${offered}")
    endif()
endforeach()

# Through pkg-config, seeing only the stage.
set(ENV{PKG_CONFIG_LIBDIR} ${stage}/${LIBDIR}/pkgconfig)
set(ENV{PKG_CONFIG_SYSROOT_DIR} ${WORK}/stage)
run(${PKG_CONFIG} --cflags --libs vlregut)
separate_arguments(flags UNIX_COMMAND "${C_FLAGS} ${out} ${LINK_FLAGS}")
run(${C_COMPILER} ${CMAKE_CURRENT_LIST_DIR}/read_back.c ${flags} -o ${WORK}/by_pkg_config)

# Through find_package, from the stage alone.
run(${CMAKE_COMMAND} -G ${GENERATOR} -S ${CMAKE_CURRENT_LIST_DIR}/consumer -B ${WORK}/consumer
    -DCMAKE_C_COMPILER=${C_COMPILER} -DCMAKE_C_FLAGS=${C_FLAGS}
    -DCMAKE_EXE_LINKER_FLAGS=${LINK_FLAGS} -DCMAKE_PREFIX_PATH=${stage}
    -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF)
run(${CMAKE_COMMAND} --build ${WORK}/consumer)
file(STRINGS ${WORK}/consumer/CMakeCache.txt found REGEX "^vlregut_DIR:")
if(NOT found STREQUAL "vlregut_DIR:PATH=${stage}/${LIBDIR}/cmake/vlregut")
    message(FATAL_ERROR "find_package took ${found}")
endif()

# Built as a part of the program's own tree: the component alone, with no GIO (pkg-config sees
# only the stage), and none of suitehelp's tests, install rules or packages.
run(${CMAKE_COMMAND} -G ${GENERATOR} -S ${CMAKE_CURRENT_LIST_DIR}/consumer -B ${WORK}/vendored
    -DVLREGUT_SOURCE_DIR=${SOURCE_DIR} -DCMAKE_C_COMPILER=${C_COMPILER}
    -DCMAKE_CXX_COMPILER=${CXX_COMPILER} -DCMAKE_C_FLAGS=${C_FLAGS}
    -DCMAKE_EXE_LINKER_FLAGS=${LINK_FLAGS})
run(${CMAKE_COMMAND} --build ${WORK}/vendored)
run(${CMAKE_COMMAND} --install ${WORK}/vendored --prefix ${WORK}/vendored/stage)
file(GLOB_RECURSE installed RELATIVE ${WORK}/vendored/stage ${WORK}/vendored/stage/*)
if(NOT installed STREQUAL "bin/read_back" OR EXISTS ${WORK}/vendored/CPackConfig.cmake OR
   EXISTS ${WORK}/vendored/vlregut/tests)
    message(FATAL_ERROR "the vendored tree brought more than the component: ${installed}")
endif()

# The vendored program finds its library through its RUNPATH, the others find the staged one.
foreach(program ${WORK}/vendored/read_back ${WORK}/by_pkg_config ${WORK}/consumer/read_back)
    run(${program} Suite)
    if(NOT out STREQUAL "/opt/suite docs\n")
        message(FATAL_ERROR "${program} read '${out}'")
    endif()
    set(ENV{LD_LIBRARY_PATH} ${stage}/${LIBDIR})
endforeach()
