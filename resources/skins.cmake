# Skins ("skin_01_" .. "skin_04_") and the application's own images, drawn at
# build time by tools/skingen into the build tree, bundled by rcc into one
# binary resource file and embedded into rovixresources (SkinResources.cpp),
# which registers it under ":/images/". Regenerated only when the generator
# changes.
set(ROVIX_IMAGES_DIR ${CMAKE_CURRENT_BINARY_DIR}/generated-images)
set(ROVIX_IMAGES_RCC ${CMAKE_CURRENT_BINARY_DIR}/rovix_images.rcc)
add_custom_command(
    OUTPUT ${ROVIX_IMAGES_RCC} ${ROVIX_IMAGES_DIR}/rovix_images_hash.h
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${ROVIX_IMAGES_DIR}
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen $<TARGET_FILE:rovixskingen> ${ROVIX_IMAGES_DIR}
    COMMAND Qt6::rcc --binary --no-compress -o ${ROVIX_IMAGES_RCC} ${ROVIX_IMAGES_DIR}/rovix_images.qrc
    DEPENDS rovixskingen
    COMMENT "Drawing the skins and the application images"
    VERBATIM)
set(ROVIX_SKIN_SOURCE ${PROJECT_SOURCE_DIR}/resources/SkinResources.cpp)
target_sources(rovixresources PRIVATE ${ROVIX_SKIN_SOURCE} ${ROVIX_IMAGES_RCC})
set_source_files_properties(${ROVIX_SKIN_SOURCE} PROPERTIES
    OBJECT_DEPENDS "${ROVIX_IMAGES_RCC};${ROVIX_IMAGES_DIR}/rovix_images_hash.h")
target_include_directories(rovixresources PRIVATE ${ROVIX_IMAGES_DIR})
target_compile_definitions(rovixresources PRIVATE ROVIX_IMAGES_RCC="${ROVIX_IMAGES_RCC}")
