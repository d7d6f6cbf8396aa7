# draw_image.cmake: draw_image(RC KIND FILE OUTVAR) draws one of the programs'
# images (KIND "icon" or "logo") into FILE in the binary dir at build time,
# makes RC depend on it, and names the drawn file in OUTVAR for the
# executable's sources. The .rc finds it through the binary dir on the
# include path. Used by the desktop and the device builds alike.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
# Kept in the cache: the function runs in the programs' folders, which don't
# see this folder's variables.
set(DRAW_IMAGE_PYTHON ${Python3_EXECUTABLE} CACHE INTERNAL "python3 that draws the images")
function(draw_image rc kind file outvar)
  set(image ${CMAKE_CURRENT_BINARY_DIR}/${file})
  add_custom_command(OUTPUT ${image}
    COMMAND ${DRAW_IMAGE_PYTHON} ${PROJECT_SOURCE_DIR}/tools/make_images.py ${kind} ${image}
    DEPENDS ${PROJECT_SOURCE_DIR}/tools/make_images.py
    COMMENT "Drawing ${file}")
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS ${image})
  set(${outvar} ${image} PARENT_SCOPE)
endfunction()
