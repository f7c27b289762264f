# Proves the layer check bites: copies src to a scratch folder, plants one
# include in a file of a folder, and expects CheckLayerIncludes.cmake to fail
# naming that file when the include points above the folder's layer, and to
# pass when it does not. Run by ctest (test "LayerIncludesPlanted") as:
#   cmake -DSRC=<src folder> -DWORK=<scratch folder> -P PlantedIncludes.cmake
if(NOT SRC OR NOT WORK)
    message(FATAL_ERROR "SRC and WORK must be set")
endif()
set(check "${CMAKE_CURRENT_LIST_DIR}/CheckLayerIncludes.cmake")
set(tree "${WORK}/src")
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
file(COPY "${SRC}/" DESTINATION "${tree}" FILES_MATCHING PATTERN "*.h" PATTERN "*.cpp")

function(run_check out_result out_text)
    execute_process(COMMAND "${CMAKE_COMMAND}" "-DSRC=${tree}" -P "${check}"
                    RESULT_VARIABLE result OUTPUT_VARIABLE text ERROR_VARIABLE text)
    set(${out_result} "${result}" PARENT_SCOPE)
    set(${out_text} "${text}" PARENT_SCOPE)
endfunction()

set(problems "")
run_check(result text)
if(NOT result EQUAL 0)
    string(APPEND problems "the unchanged copy fails the check:\n${text}\n")
endif()

# folder|include|expected ("fail" or "pass")
set(cases
    "core|base/Services.h|fail"
    "base|platform/SCEvents.h|fail"
    "base|controls/Slider.h|fail"
    "platform|controls/Slider.h|fail"
    "platform|views/MapView.h|fail"
    "platform|core/Log.h|pass"
    "controls|platform/PSVR.h|fail"
    "controls|views/MapView.h|fail"
    "views|upload/LoginDlg.h|fail"
    "views|app/AppDelegate.h|fail"
    "views|platform/Reachability.h|pass"
    "media|base/Services.h|fail"
    "media|export/FrameGrabber.h|fail"
    "media|core/ContainerProbe.h|pass"
    "upload|views/MapView.h|fail"
    "upload|export/CaptureExif.h|fail"
    "upload|app/AppDelegate.h|fail"
    "upload|controls/StandardDialogs.h|pass"
    "tool|library/LibraryModel.h|fail"
    "tool|base/Services.h|fail"
    "tool|upload/UploadRequest.h|fail"
    "tool|media/MediaDuration.h|pass"
    "library|playback/PlaybackSession.h|fail"
    "library|export/BackupController.h|fail"
    "library|app/AppDelegate.h|fail"
    "library|views/VideoPlayerView.h|pass"
    "playback|library/LibraryModel.h|fail"
    "playback|export/ClipController.h|fail"
    "playback|app/MainWindow.h|fail"
    "playback|upload/UploadRequest.h|fail"
    "playback|media/FrameGrabber.h|pass"
    "export|library/LibraryModel.h|fail"
    "export|playback/CameraSync.h|fail"
    "export|app/WindowController.h|fail"
    "export|upload/UploadRequest.h|pass"
    "archive|library/LibraryModel.h|fail"
    "archive|playback/PlaybackSession.h|fail"
    "archive|views/MapView.h|fail"
    "archive|fleet/Catalogue.h|pass"
    "library|archive/ArchiveBrowser.h|fail"
    "app|archive/ArchiveBrowser.h|pass"
    "app|library/LibraryModel.h|pass"
    "app|playback/PlaybackSession.h|pass"
    "app|export/ClipController.h|pass"
    "app|upload/LoginDlg.h|pass")
foreach(c IN LISTS cases)
    string(REPLACE "|" ";" parts "${c}")
    list(GET parts 0 folder)
    list(GET parts 1 header)
    list(GET parts 2 expected)
    if(NOT IS_DIRECTORY "${tree}/${folder}")
        string(APPEND problems "src/${folder} does not exist\n")
        continue()
    endif()
    set(planted "${tree}/${folder}/PlantedInclude.cpp")
    file(WRITE "${planted}" "// planted by the layer test\n#include \"${header}\"\n")
    run_check(result text)
    file(REMOVE "${planted}")
    if(expected STREQUAL "fail")
        if(result EQUAL 0 OR NOT text MATCHES "${folder}/PlantedInclude.cpp: #include \"${header}\"")
            string(APPEND problems "${folder} including ${header} was not reported\n")
        endif()
    elseif(NOT result EQUAL 0)
        string(APPEND problems "${folder} including ${header} was refused:\n${text}\n")
    endif()
endforeach()
file(REMOVE_RECURSE "${WORK}")

if(problems)
    message(FATAL_ERROR "The layer check does not hold:\n${problems}")
endif()
message(STATUS "Layer check: every planted upward include was reported")
