# Fails when a file of a lower layer includes a header of a higher one. Run by
# ctest (test "LayerIncludes") as: cmake -DSRC=<src folder> -P CheckLayerIncludes.cmake
#   src/base      may include core and base
#   src/controls, src/WaitingWindow  may include core, base, controls, WaitingWindow
#   src/views     may include core, base, controls, WaitingWindow, views
#   src/core      includes no folder of the Qt layers
if(NOT SRC)
    message(FATAL_ERROR "SRC not set")
endif()

set(app_folders "app|library|playback|export|Utility")
set(rules
    "core|base|controls|views|WaitingWindow|${app_folders}"
    "base|controls|views|WaitingWindow|${app_folders}"
    "controls|views|${app_folders}"
    "WaitingWindow|views|${app_folders}"
    "views|${app_folders}")

set(failures "")
foreach(rule IN LISTS rules)
    string(REPLACE "|" ";" parts "${rule}")
    list(GET parts 0 folder)
    list(REMOVE_AT parts 0)
    string(REPLACE ";" "|" forbidden "${parts}")
    file(GLOB_RECURSE files "${SRC}/${folder}/*.h" "${SRC}/${folder}/*.cpp")
    foreach(f IN LISTS files)
        file(STRINGS "${f}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"(${forbidden})/")
        foreach(line IN LISTS lines)
            file(RELATIVE_PATH rel "${SRC}" "${f}")
            string(APPEND failures "  ${rel}: ${line}\n")
        endforeach()
    endforeach()
endforeach()

if(failures)
    message(FATAL_ERROR "Includes that point to a higher layer:\n${failures}")
endif()
message(STATUS "Layer includes: none points upward")
