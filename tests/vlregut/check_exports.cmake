# The shared library's ABI is exactly the three C functions.
set(expected "VlRegGetInstallDir;VlRegInitializeProduct;VlRegSetInstallDir")
set(functions ${expected})
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
    # Each under the ABI's version node, which nm also lists as a symbol of its own.
    list(TRANSFORM expected APPEND "@@VLREGUT_1")
    list(APPEND expected VLREGUT_1)
endif()
if(failed)
    message(FATAL_ERROR "cannot list the symbols of ${LIBRARY}")
endif()
list(SORT names)
list(SORT expected)
# vlregut.def, which makes the import library of Microsoft's linker, names the same.
file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/../../vlregut/vlregut.def listed REGEX "^ +Vl")
list(TRANSFORM listed STRIP)
if(NOT names STREQUAL expected OR NOT listed STREQUAL functions)
    message(FATAL_ERROR "unexpected exports: ${names}; vlregut.def: ${listed}")
endif()
