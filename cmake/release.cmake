# The release zip (target release_zip, written to dist/) and a test that checks
# the zip as shipped. Included where the program's target `app` is known.
set(YZ_DIST_DIR ${CMAKE_SOURCE_DIR}/dist CACHE PATH "Where release_zip writes the zip")
set(YZ_RELEASE_ZIP ${YZ_DIST_DIR}/YanzhouCombiner-${PROJECT_VERSION}.zip)
add_custom_target(release_zip
  COMMAND ${CMAKE_COMMAND} -DEXE=$<TARGET_FILE:app> -DREADME=${CMAKE_SOURCE_DIR}/docs/README-zh.txt
          -DVERSION=${PROJECT_VERSION} -DOUT_DIR=${YZ_DIST_DIR}
          -P ${CMAKE_SOURCE_DIR}/cmake/make_release.cmake
  DEPENDS app ${CMAKE_SOURCE_DIR}/docs/README-zh.txt
  COMMENT "Release zip ${YZ_RELEASE_ZIP}"
  VERBATIM)
if(YZ_TESTS)
  find_program(YZ_OBJDUMP NAMES i686-w64-mingw32-objdump objdump REQUIRED)
  # The test packs the freshly built program into a zip of its own (not the
  # one in dist/) and checks that.
  add_test(NAME release_zip
           COMMAND ${CMAKE_COMMAND} -DEXE=$<TARGET_FILE:app> -DREADME=${CMAKE_SOURCE_DIR}/docs/README-zh.txt
                   -DVERSION=${PROJECT_VERSION} -DOUT_DIR=${CMAKE_BINARY_DIR}/release-check
                   -P ${CMAKE_SOURCE_DIR}/cmake/make_release.cmake)
  add_test(NAME release_zip_contents
           COMMAND ${CMAKE_COMMAND} -DZIP=${CMAKE_BINARY_DIR}/release-check/YanzhouCombiner-${PROJECT_VERSION}.zip
                   -DOBJDUMP=${YZ_OBJDUMP} -DVERSION=${PROJECT_VERSION}
                   -P ${CMAKE_SOURCE_DIR}/tests/check_release.cmake)
  set_tests_properties(release_zip PROPERTIES FIXTURES_SETUP release_zip)
  set_tests_properties(release_zip_contents PROPERTIES FIXTURES_REQUIRED release_zip)
endif()
