cmake_minimum_required(VERSION 3.20)  # if(IN_LIST) in script mode
# Fails when the program imports a DLL outside the allow-list: the exe must
# run on its own, with no runtime DLL beside it.
# cmake -DOBJDUMP=<objdump> -DEXE=<program.exe> -P check_imports.cmake
set(allowed KERNEL32.dll msvcrt.dll USER32.dll GDI32.dll COMCTL32.dll OLE32.dll
    OLEAUT32.dll SHELL32.dll ADVAPI32.dll COMDLG32.dll UXTHEME.dll
    SHLWAPI.dll VERSION.dll IMM32.dll OLEACC.dll)
string(TOUPPER "${allowed}" allowed)
execute_process(COMMAND ${OBJDUMP} -p ${EXE} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p ${EXE} failed (${rc})")
endif()
string(REGEX MATCHALL "DLL Name: [^\r\n]+" names "${dump}")
if(NOT names)
  message(FATAL_ERROR "no imports found in ${EXE}")
endif()
set(bad "")
foreach(line IN LISTS names)
  string(REGEX REPLACE "DLL Name: *" "" dll "${line}")
  string(STRIP "${dll}" dll)
  string(TOUPPER "${dll}" upper)
  message(STATUS "imports ${dll}")
  # api-ms-win-* are the system's own forwarders (UCRT-style import names).
  if(NOT upper IN_LIST allowed AND NOT upper MATCHES "^API-MS-WIN-")
    list(APPEND bad ${dll})
  endif()
endforeach()
if(bad)
  message(FATAL_ERROR "DLLs outside the allow-list: ${bad}")
endif()
