# The shared library's ABI is exactly the three C functions.
execute_process(COMMAND ${NM} -D --defined-only ${LIBRARY}
                OUTPUT_VARIABLE listing RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
string(REGEX MATCHALL "[^ \n]+\n" names "${listing}")
list(TRANSFORM names STRIP)
list(SORT names)
if(NOT names STREQUAL "VlRegGetInstallDir;VlRegInitializeProduct;VlRegSetInstallDir")
    message(FATAL_ERROR "unexpected exports: ${names}")
endif()
