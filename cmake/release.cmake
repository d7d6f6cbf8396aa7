# release.cmake: one platform's installed folder and release archive: the two
# programs side by side, as KeyAssigner needs the closer beside it, and the
# user guide. `cmake --install` fills dist/<platform>/ (the presets' prefix);
# `cpack` writes dist/ForegroundDismisser-<version>-<platform>.zip and, on a
# device platform, dist/DeviceReport-<version>-<platform>.zip: DeviceReport
# and its guide, for people who run it once on a real device, in no user's
# folder, archive or cabinet.
# The version is the one ForegroundDismisser's version block carries
# (closer.rc); the release test reads it back from the built program.
set(PRODUCT_VERSION 1.30)

find_package(Python3 REQUIRED COMPONENTS Interpreter)

# write_guide(TARGET KIND FILE): a guide made from the README's sections for
# KIND (user, report) into FILE, rewritten when the README changes.
function(write_guide target kind file)
  add_custom_command(OUTPUT ${file}
    COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tools/make_guide.py ${kind}
            ${PROJECT_SOURCE_DIR}/README.md ${file}
    DEPENDS ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/tools/make_guide.py
    COMMENT "Writing ${file}")
  add_custom_target(${target} ALL DEPENDS ${file})
endfunction()

set(user_guide ${CMAKE_BINARY_DIR}/ReadMe.txt)
write_guide(user_guide user ${user_guide})

if(CE_DEVICE)
  set(RELEASE_PLATFORM ce-${CE_CPU})
  # The device programs are written by objcopy after each link.
  set(RELEASE_PROGRAMS ${CMAKE_BINARY_DIR}/closer/ForegroundDismisser.exe
                       ${CMAKE_BINARY_DIR}/assigner/KeyAssigner.exe)
  install(FILES ${RELEASE_PROGRAMS} DESTINATION . COMPONENT programs)

  # What a Pocket PC user taps to install: both programs in one folder
  # under \Program Files and a Start menu shortcut to KeyAssigner; one
  # cabinet per CPU, each marked with its processor type.
  find_program(GCAB gcab REQUIRED)
  set(RELEASE_CAB ${CMAKE_BINARY_DIR}/ForegroundDismisser-${PRODUCT_VERSION}-${RELEASE_PLATFORM}.cab)
  add_custom_command(OUTPUT ${RELEASE_CAB}
    COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tools/make_ce_cab.py
            --gcab ${GCAB} --out ${RELEASE_CAB} --provider "Zenmen Project" --cpu ${CE_CPU}
            ${RELEASE_PROGRAMS}
    DEPENDS ForegroundDismisser KeyAssigner ${PROJECT_SOURCE_DIR}/tools/make_ce_cab.py
    COMMENT "Writing the installation cabinet")
  add_custom_target(ce_cab ALL DEPENDS ${RELEASE_CAB})

  # What a user installing from the PC opens with ActiveSync's Application
  # Manager: every CPU's cabinet, of which the device gets its own. Each
  # device build writes the same file.
  set(CE_CABINET_CPUS arm mips sh3)
  set(RELEASE_INI ${CMAKE_BINARY_DIR}/ForegroundDismisser.ini)
  add_custom_command(OUTPUT ${RELEASE_INI}
    COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tools/make_appmgr_ini.py
            --version ${PRODUCT_VERSION} --out ${RELEASE_INI} ${CE_CABINET_CPUS}
    DEPENDS ${PROJECT_SOURCE_DIR}/tools/make_appmgr_ini.py
    COMMENT "Writing the Application Manager's file")
  add_custom_target(ce_appmgr_ini ALL DEPENDS ${RELEASE_INI})

  # DeviceReport with its guide (the README's section on it), in an archive
  # of their own: a plain `cmake --install` leaves them out, cpack packs them.
  set(report_guide ${CMAKE_BINARY_DIR}/ReadMe-DeviceReport.txt)
  write_guide(report_guide report ${report_guide})
  set(REPORT_FILES ${CMAKE_BINARY_DIR}/report/DeviceReport.exe ${report_guide})
  install(FILES ${REPORT_FILES} DESTINATION . COMPONENT report EXCLUDE_FROM_ALL)
  set(release_report --report ${REPORT_FILES})
  set(CPACK_COMPONENTS_ALL programs report)
  set(CPACK_ARCHIVE_REPORT_FILE_NAME DeviceReport-${PRODUCT_VERSION}-${RELEASE_PLATFORM})
else()
  set(RELEASE_PLATFORM win64)
  set(RELEASE_PROGRAMS $<TARGET_FILE:ForegroundDismisser> $<TARGET_FILE:KeyAssigner>)
  install(TARGETS ForegroundDismisser KeyAssigner RUNTIME DESTINATION . COMPONENT programs)
  set(CPACK_COMPONENTS_ALL programs)
endif()
install(FILES ${user_guide} DESTINATION . COMPONENT programs)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME ForegroundDismisser)
set(CPACK_PACKAGE_VERSION ${PRODUCT_VERSION})
# One archive per component, each holding its files themselves, no folder
# around them.
set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
set(CPACK_ARCHIVE_PROGRAMS_FILE_NAME ForegroundDismisser-${PRODUCT_VERSION}-${RELEASE_PLATFORM})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_SOURCE_DIR}/dist)
include(CPack)

# Installs and packs into a scratch folder and compares every file, byte
# for byte, with what the build made.
find_program(RELEASE_PYTHON python3 PATHS /usr/bin NO_DEFAULT_PATH REQUIRED)
add_test(NAME release_${RELEASE_PLATFORM}
  COMMAND ${RELEASE_PYTHON} ${PROJECT_SOURCE_DIR}/tests/release/check_release.py
          --build ${CMAKE_BINARY_DIR} --platform ${RELEASE_PLATFORM}
          --version ${PRODUCT_VERSION} --cmake ${CMAKE_COMMAND} --cpack ${CMAKE_CPACK_COMMAND}
          ${RELEASE_PROGRAMS} ${user_guide} ${release_report})
