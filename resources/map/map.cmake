# The map page: our own page and script plus Leaflet from the npm package
# (package.json at the repository root), compiled into the resources under
# ":/map/" and loaded by the map panel as "qrc:/map/map.html".
set(ROVIX_LEAFLET_DIST ${PROJECT_SOURCE_DIR}/node_modules/leaflet/dist)
if(NOT EXISTS ${ROVIX_LEAFLET_DIST}/leaflet.js)
    find_program(ROVIX_NPM npm)
    if(ROVIX_NPM)
        message(STATUS "Installing the map page's web libraries (npm ci)")
        execute_process(COMMAND ${ROVIX_NPM} ci --no-audit --no-fund
                        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR} RESULT_VARIABLE ROVIX_NPM_RESULT)
    endif()
endif()
if(NOT EXISTS ${ROVIX_LEAFLET_DIST}/leaflet.js)
    message(FATAL_ERROR "Leaflet is missing: run 'npm ci' in ${PROJECT_SOURCE_DIR} (scripts/deps.sh does)")
endif()

set(ROVIX_MAP_STAGE ${CMAKE_CURRENT_BINARY_DIR}/map)
set(ROVIX_MAP_FILES)
foreach(f map.html map.js)
    configure_file(${PROJECT_SOURCE_DIR}/resources/map/${f} ${ROVIX_MAP_STAGE}/${f} COPYONLY)
    list(APPEND ROVIX_MAP_FILES ${ROVIX_MAP_STAGE}/${f})
endforeach()
foreach(f leaflet.js leaflet.css images/layers.png images/layers-2x.png images/marker-icon.png
          images/marker-icon-2x.png images/marker-shadow.png)
    configure_file(${ROVIX_LEAFLET_DIST}/${f} ${ROVIX_MAP_STAGE}/${f} COPYONLY)
    list(APPEND ROVIX_MAP_FILES ${ROVIX_MAP_STAGE}/${f})
endforeach()
configure_file(${PROJECT_SOURCE_DIR}/node_modules/leaflet/LICENSE ${ROVIX_MAP_STAGE}/LICENSE-leaflet.txt COPYONLY)
list(APPEND ROVIX_MAP_FILES ${ROVIX_MAP_STAGE}/LICENSE-leaflet.txt)
qt_add_resources(rovixresources "rovix_map" PREFIX "/map" BASE ${ROVIX_MAP_STAGE} FILES ${ROVIX_MAP_FILES})
