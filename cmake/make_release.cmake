cmake_minimum_required(VERSION 3.20)
# Builds the release zip: the program, the read-me and SHA256SUMS of both, at
# the top of the archive so that unpacking gives a folder ready to run.
#   cmake -DEXE=<program.exe> -DREADME=<README-zh.txt> -DVERSION=<x.y.z>
#         -DOUT_DIR=<dist> -P make_release.cmake
foreach(var EXE README VERSION OUT_DIR)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "make_release.cmake: ${var} is not set")
  endif()
endforeach()
foreach(var EXE README OUT_DIR)
  get_filename_component(${var} "${${var}}" ABSOLUTE)
endforeach()
foreach(f "${EXE}" "${README}")
  if(NOT EXISTS "${f}")
    message(FATAL_ERROR "make_release.cmake: ${f} does not exist")
  endif()
endforeach()

set(name YanzhouCombiner-${VERSION})
set(stage "${OUT_DIR}/${name}.stage")
file(REMOVE_RECURSE "${stage}")
file(MAKE_DIRECTORY "${stage}")
get_filename_component(exe_name "${EXE}" NAME)
file(COPY_FILE "${EXE}" "${stage}/${exe_name}")
file(COPY_FILE "${README}" "${stage}/README-zh.txt")

set(sums "")
foreach(f "${exe_name}" README-zh.txt)
  file(SHA256 "${stage}/${f}" h)
  string(APPEND sums "${h}  ${f}\n")
endforeach()
file(WRITE "${stage}/SHA256SUMS" "${sums}")

set(zip "${OUT_DIR}/${name}.zip")
file(REMOVE "${zip}")
# A fixed time stamp: the same inputs give the same archive.
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf "${zip}" --format=zip "--mtime=2026-01-01 00:00:00 UTC"
                        "${exe_name}" README-zh.txt SHA256SUMS
                WORKING_DIRECTORY "${stage}" RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "could not write ${zip}")
endif()
file(REMOVE_RECURSE "${stage}")
file(SHA256 "${zip}" h)
file(WRITE "${OUT_DIR}/${name}.zip.sha256" "${h}  ${name}.zip\n")
message(STATUS "wrote ${zip}")
