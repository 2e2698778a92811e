# The shared library's ABI is exactly the three C functions.
set(expected "VlRegGetInstallDir;VlRegInitializeProduct;VlRegSetInstallDir")
if(OBJDUMP)
    execute_process(COMMAND ${OBJDUMP} -p ${LIBRARY} OUTPUT_VARIABLE listing RESULT_VARIABLE failed)
    string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table\n(\t[^\n]+\n)*" table "${listing}")
    string(REGEX MATCHALL "\t\\[ *[0-9]+\\] [^\n]+" names "${table}")
    # No "^" here: list(TRANSFORM REPLACE) anchors it at the first item only.
    list(TRANSFORM names REPLACE "\t\\[ *[0-9]+\\] " "")
else()
    execute_process(COMMAND ${NM} -D --defined-only ${LIBRARY}
                    OUTPUT_VARIABLE listing RESULT_VARIABLE failed)
    string(REGEX MATCHALL "[^ \n]+\n" names "${listing}")
    list(TRANSFORM names STRIP)
endif()
if(failed)
    message(FATAL_ERROR "cannot list the symbols of ${LIBRARY}")
endif()
list(SORT names)
# vlregut.def, which makes the import library of Microsoft's linker, names the same.
file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/../../vlregut/vlregut.def listed REGEX "^ +Vl")
list(TRANSFORM listed STRIP)
if(NOT names STREQUAL expected OR NOT listed STREQUAL expected)
    message(FATAL_ERROR "unexpected exports: ${names}; vlregut.def: ${listed}")
endif()
