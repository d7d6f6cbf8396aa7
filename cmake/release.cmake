# release.cmake: one platform's installed folder and release archive: the two
# programs side by side, as KeyAssigner needs the closer beside it, and the
# user guide. `cmake --install` fills dist/<platform>/ (the presets' prefix);
# `cpack` writes dist/ForegroundDismisser-<version>-<platform>.zip.
# The version is the one ForegroundDismisser's version block carries
# (closer.rc); the release test reads it back from the built program.
set(PRODUCT_VERSION 1.30)

find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(user_guide ${CMAKE_BINARY_DIR}/ReadMe.txt)
add_custom_command(OUTPUT ${user_guide}
  COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tools/make_guide.py
          ${PROJECT_SOURCE_DIR}/README.md ${user_guide}
  DEPENDS ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/tools/make_guide.py
  COMMENT "Writing the user guide")
add_custom_target(user_guide ALL DEPENDS ${user_guide})

if(CE_ARM)
  set(RELEASE_PLATFORM ce-${CE_CPU})
  # The device programs are written by objcopy after each link.
  set(RELEASE_PROGRAMS ${CMAKE_BINARY_DIR}/closer/ForegroundDismisser.exe
                       ${CMAKE_BINARY_DIR}/assigner/KeyAssigner.exe)
  install(FILES ${RELEASE_PROGRAMS} DESTINATION .)

  # What a Pocket PC user taps to install: both programs in one folder
  # under \Program Files and a Start menu shortcut to KeyAssigner. Only the
  # ARM cabinet is written so far.
  if(CE_CPU STREQUAL arm)
  find_program(GCAB gcab REQUIRED)
  set(RELEASE_CAB ${CMAKE_BINARY_DIR}/ForegroundDismisser-${PRODUCT_VERSION}-ce-arm.cab)
  add_custom_command(OUTPUT ${RELEASE_CAB}
    COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tools/make_ce_cab.py
            --gcab ${GCAB} --out ${RELEASE_CAB} --provider "Zenmen Project"
            ${RELEASE_PROGRAMS}
    DEPENDS ForegroundDismisser KeyAssigner ${PROJECT_SOURCE_DIR}/tools/make_ce_cab.py
    COMMENT "Writing the installation cabinet")
  add_custom_target(ce_cab ALL DEPENDS ${RELEASE_CAB})
  endif()
else()
  set(RELEASE_PLATFORM win64)
  set(RELEASE_PROGRAMS $<TARGET_FILE:ForegroundDismisser> $<TARGET_FILE:KeyAssigner>)
  install(TARGETS ForegroundDismisser KeyAssigner RUNTIME DESTINATION .)
endif()
install(FILES ${user_guide} DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME ForegroundDismisser)
set(CPACK_PACKAGE_VERSION ${PRODUCT_VERSION})
set(CPACK_PACKAGE_FILE_NAME ForegroundDismisser-${PRODUCT_VERSION}-${RELEASE_PLATFORM})
# The archive holds the three files themselves, no folder around them.
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_SOURCE_DIR}/dist)
include(CPack)

# Installs and packs into a scratch folder and compares every file, byte
# for byte, with what the build made.
find_program(RELEASE_PYTHON python3 PATHS /usr/bin NO_DEFAULT_PATH REQUIRED)
add_test(NAME release_${RELEASE_PLATFORM}
  COMMAND ${RELEASE_PYTHON} ${PROJECT_SOURCE_DIR}/tests/release/check_release.py
          --build ${CMAKE_BINARY_DIR} --platform ${RELEASE_PLATFORM}
          --version ${PRODUCT_VERSION} --cmake ${CMAKE_COMMAND} --cpack ${CMAKE_CPACK_COMMAND}
          ${RELEASE_PROGRAMS} ${user_guide})
