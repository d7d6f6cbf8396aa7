# sh3.cmake: the SH-3 device build's runtime in place of the other CPUs'
# division helpers (included by platform/ce).
# The division helpers are libgcc's own SH-1 routines, taken from it member by
# member: GCC calls them with a register contract of their own (__sdivsi3
# keeps every register but r0-r3 and the T bit), and they use no FPU and no
# SH-4 instruction, which the image check confirms for each image.
find_program(CE_AR ${CE_TOOL_PREFIX}ar REQUIRED)

execute_process(COMMAND ${CMAKE_C_COMPILER} -m4-nofpu -ml -print-libgcc-file-name
                OUTPUT_VARIABLE sh_libgcc OUTPUT_STRIP_TRAILING_WHITESPACE)
set(members _sdivsi3.o _udivsi3.o)
set(objects)
foreach(m ${members})
  list(APPEND objects ${CMAKE_CURRENT_BINARY_DIR}/libgcc/${m})
endforeach()
add_custom_command(OUTPUT ${objects}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/libgcc
  COMMAND ${CMAKE_COMMAND} -E chdir ${CMAKE_CURRENT_BINARY_DIR}/libgcc
          ${CE_AR} x ${sh_libgcc} ${members}
  DEPENDS ${sh_libgcc}
  COMMENT "Division helpers from libgcc")
set_source_files_properties(${objects} PROPERTIES EXTERNAL_OBJECT TRUE GENERATED TRUE)
add_library(ce_runtime STATIC ${objects})
set_target_properties(ce_runtime PROPERTIES LINKER_LANGUAGE C)
