# suitehelp.exe carries its manifest where Windows reads it, resource 1 of type RT_MANIFEST (24),
# and the manifest asks to run as the invoker, aware of each monitor's DPI.
cmake_policy(VERSION 3.25)
# Usage: cmake -DOBJDUMP=... -DEXE=... -P check_manifest.cmake
execute_process(COMMAND ${OBJDUMP} -p ${EXE} OUTPUT_VARIABLE listing RESULT_VARIABLE failed)
if(failed OR NOT listing MATCHES
   "Entry: ID: 0x000018,[^\n]*\n[^\n]*Name Table[^\n]*\n[^\n]*Entry: ID: 0x000001,")
    message(FATAL_ERROR "${EXE}: no RT_MANIFEST resource 1")
endif()
file(STRINGS ${EXE} manifest REGEX "<(requestedExecutionLevel|dpiAware)")
foreach(pattern "<requestedExecutionLevel[ \t]([^>]*[ \t])?level=\"asInvoker\""
                "<dpiAwareness([ \t][^>]*)?>PerMonitorV2" "<dpiAware([ \t][^>]*)?>[Tt][Rr][Uu][Ee]")
    if(NOT manifest MATCHES "${pattern}")
        message(FATAL_ERROR "${EXE}: the manifest does not match ${pattern}:\n${manifest}")
    endif()
endforeach()
message(STATUS "${EXE}: ${manifest}")
