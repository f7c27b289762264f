# Fails when a file of a lower layer includes a header of a higher one. Run by
# ctest (test "LayerIncludes") as: cmake -DSRC=<src folder> -P CheckLayerIncludes.cmake
#
# Each checked folder names the folders of src its files may include (its own
# and those of the libraries it links); an include of any other folder of src
# fails, so a folder added later is off limits to the layers below until it is
# named here. The feature folders (library, playback, export, archive) stand side by
# side and include none of each other; only app, which wires them, may include
# everything.
#   core                       core only (standard library)
#   media                      core, media (FFmpeg, no Qt)
#   fleet                      core, fleet (the fleet archive, SQLite, no Qt)
#   tool                       core, media, fleet, tool (the command-line tool, no Qt)
#   base                       core, base
#   platform                   core, base, platform
#   controls, WaitingWindow    core, base, controls, WaitingWindow
#   views                      core, base, platform, controls, WaitingWindow, views
#   upload                     core, base, controls, WaitingWindow, upload
#   library                    core, base, platform, controls, WaitingWindow, views, library
#   playback                   core, media, base, platform, controls, WaitingWindow, views,
#                              playback
#   export                     core, media, base, platform, controls, WaitingWindow, views,
#                              upload, export
#   archive                    core, base, controls, WaitingWindow, fleet, archive
if(NOT SRC)
    message(FATAL_ERROR "SRC not set")
endif()

set(widgets "controls|WaitingWindow")
set(rules
    "core:core"
    "media:core|media"
    "fleet:core|fleet"
    "tool:core|media|fleet|tool"
    "base:core|base"
    "platform:core|base|platform"
    "controls:core|base|${widgets}"
    "WaitingWindow:core|base|${widgets}"
    "views:core|base|platform|${widgets}|views"
    "upload:core|base|${widgets}|upload"
    "library:core|base|platform|${widgets}|views|library"
    "playback:core|media|base|platform|${widgets}|views|playback"
    "export:core|media|base|platform|${widgets}|views|upload|export"
    "archive:core|base|${widgets}|fleet|archive")

# Every folder of src is a candidate target of an include.
file(GLOB entries LIST_DIRECTORIES true "${SRC}/*")
set(folders "")
foreach(entry IN LISTS entries)
    if(IS_DIRECTORY "${entry}")
        get_filename_component(name "${entry}" NAME)
        list(APPEND folders "${name}")
    endif()
endforeach()

set(failures "")
foreach(rule IN LISTS rules)
    string(REPLACE ":" ";" parts "${rule}")
    list(GET parts 0 folder)
    list(GET parts 1 allowed)
    string(REPLACE "|" ";" allowed "${allowed}")
    set(forbidden_list ${folders})
    list(REMOVE_ITEM forbidden_list ${allowed})
    if(NOT forbidden_list)
        continue()
    endif()
    string(REPLACE ";" "|" forbidden "${forbidden_list}")
    file(GLOB_RECURSE files "${SRC}/${folder}/*.h" "${SRC}/${folder}/*.cpp")
    foreach(f IN LISTS files)
        file(STRINGS "${f}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<](${forbidden})/")
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
