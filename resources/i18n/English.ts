<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name></name>
    <message id="IDR_MAINFRAME">
        <source>Rovix Manager</source>
        <translation>Rovix Manager</translation>
    </message>
    <message id="IDS_360_VIEW">
        <source>360-degree view for flat recordings</source>
        <translation>360-degree view for flat recordings</translation>
    </message>
    <message id="IDS_SHOW_WHOLE_TRIP">
        <source>Show the whole trip on the map</source>
        <translation>Show the whole trip on the map</translation>
    </message>
    <message id="IDS_HARSH_THRESHOLD">
        <source>Harsh-driving threshold...</source>
        <translation>Harsh-driving threshold...</translation>
    </message>
    <message id="IDS_HARSH_THRESHOLD_TITLE">
        <source>Harsh-Driving Threshold</source>
        <translation>Harsh-Driving Threshold</translation>
    </message>
    <message id="IDS_HARSH_THRESHOLD_LABEL">
        <source>Mark braking, acceleration and turns from (g):</source>
        <translation>Mark braking, acceleration and turns from (g):</translation>
    </message>
    <message id="IDS_HARSH_THRESHOLD_RANGE">
        <source>The threshold must be between %1 and %2 g.</source>
        <translation>The threshold must be between %1 and %2 g.</translation>
    </message>
    <message id="IDS_HARSH_THRESHOLD_NOT_NUMBER">
        <source>"%1" is not a number of g.</source>
        <translation>"%1" is not a number of g.</translation>
    </message>
    <message id="IDS_HARSH_BRAKE">
        <source>Harsh braking</source>
        <translation>Harsh braking</translation>
    </message>
    <message id="IDS_HARSH_ACCEL">
        <source>Harsh acceleration</source>
        <translation>Harsh acceleration</translation>
    </message>
    <message id="IDS_HARSH_TURN">
        <source>Sharp turn</source>
        <translation>Sharp turn</translation>
    </message>
    <message id="IDS_HARSH_MARK_G">
        <source>%1, peak %2 g</source>
        <translation>%1, peak %2 g</translation>
    </message>
    <message id="IDS_HARSH_MARK_KMH_S">
        <source>%1, peak %2 km/h per second</source>
        <translation>%1, peak %2 km/h per second</translation>
    </message>
    <message id="IDS_PLACE_BY_NAME_TIME">
        <source>Place recordings by the time in their names</source>
        <translation>Place recordings by the time in their names</translation>
    </message>
    <message id="IDS_SAVE_CLIP">
        <source>Save clip...</source>
        <translation>Save clip...</translation>
    </message>
    <message id="IDS_KEY_ZOOM">
        <source>Zoom the picture in, out, back to whole</source>
        <translation>Zoom the picture in, out, back to whole</translation>
    </message>
    <message id="IDS_CAPTURE_WHAT_IS_SHOWN">
        <source>What is shown</source>
        <translation>What is shown</translation>
    </message>
    <message id="IDS_KEY_SAVE_CLIP">
        <source>Save a clip around this moment</source>
        <translation>Save a clip around this moment</translation>
    </message>
    <message id="IDS_CLIP_TITLE">
        <source>Save clip</source>
        <translation>Save clip</translation>
    </message>
    <message id="IDS_CLIP_BEFORE">
        <source>Seconds before the moment</source>
        <translation>Seconds before the moment</translation>
    </message>
    <message id="IDS_CLIP_AFTER">
        <source>Seconds after the moment</source>
        <translation>Seconds after the moment</translation>
    </message>
    <message id="IDS_CLIP_CHOOSE_FOLDER">
        <source>Choose the folder for the clip</source>
        <translation>Choose the folder for the clip</translation>
    </message>
    <message id="IDS_CLIP_NO_RECORDING">
        <source>Open a recording first.</source>
        <translation>Open a recording first.</translation>
    </message>
    <message id="IDS_CLIP_SAVED">
        <source>The clip was saved in %1</source>
        <translation>The clip was saved in %1</translation>
    </message>
    <message id="IDS_CLIP_OVERLAY">
        <source>Draw the time, speed and position in (re-encodes; much slower)</source>
        <translation>Draw the time, speed and position in (re-encodes; much slower)</translation>
    </message>
    <message id="IDS_CLIP_LAYOUT">
        <source>Layout</source>
        <translation>Layout</translation>
    </message>
    <message id="IDS_CLIP_LAYOUT_SEPARATE">
        <source>A file per camera (not re-encoded)</source>
        <translation>A file per camera (not re-encoded)</translation>
    </message>
    <message id="IDS_CLIP_LAYOUT_SIDE_BY_SIDE">
        <source>Front and rear side by side (re-encodes)</source>
        <translation>Front and rear side by side (re-encodes)</translation>
    </message>
    <message id="IDS_CLIP_LAYOUT_PIP">
        <source>Rear in a corner of the front (re-encodes)</source>
        <translation>Rear in a corner of the front (re-encodes)</translation>
    </message>
    <message id="IDS_CLIP_LAYOUT_FRONT">
        <source>Front camera only (re-encodes)</source>
        <translation>Front camera only (re-encodes)</translation>
    </message>
    <message id="IDS_CLIP_LAYOUT_REAR">
        <source>Rear camera only (re-encodes)</source>
        <translation>Rear camera only (re-encodes)</translation>
    </message>
    <message id="IDS_CLIP_CORNER">
        <source>Rear picture's corner</source>
        <translation>Rear picture's corner</translation>
    </message>
    <message id="IDS_CLIP_CORNER_0">
        <source>Top left</source>
        <translation>Top left</translation>
    </message>
    <message id="IDS_CLIP_CORNER_1">
        <source>Top right</source>
        <translation>Top right</translation>
    </message>
    <message id="IDS_CLIP_CORNER_2">
        <source>Bottom left</source>
        <translation>Bottom left</translation>
    </message>
    <message id="IDS_CLIP_CORNER_3">
        <source>Bottom right</source>
        <translation>Bottom right</translation>
    </message>
    <message id="IDS_CLIP_QUALITY">
        <source>Quality (lower is better and larger)</source>
        <translation>Quality (lower is better and larger)</translation>
    </message>
    <message id="IDS_CLIP_EMPTY">
        <source>Choose at least one second before or after the moment.</source>
        <translation>Choose at least one second before or after the moment.</translation>
    </message>
    <message id="IDS_CLIP_BLUR">
        <source>Blur: pause on a frame and drag a rectangle over a plate or a face</source>
        <translation>Blur: pause on a frame and drag a rectangle over a plate or a face</translation>
    </message>
    <message id="IDS_CLIP_BLUR_NEW">
        <source>New area</source>
        <translation>New area</translation>
    </message>
    <message id="IDS_CLIP_BLUR_HOLD">
        <source>Hold still to here</source>
        <translation>Hold still to here</translation>
    </message>
    <message id="IDS_CLIP_BLUR_REMOVE">
        <source>Remove</source>
        <translation>Remove</translation>
    </message>
    <message id="IDS_CLIP_BLUR_ONE_POSITION">
        <source>one position: set another moment</source>
        <translation>one position: set another moment</translation>
    </message>
    <message id="IDS_CLIP_BLUR_ONE_KEY">
        <source>Area %1 has one position only: draw it again at another moment, or hold it still to another moment.</source>
        <translation>Area %1 has one position only: draw it again at another moment, or hold it still to another moment.</translation>
    </message>
    <message id="IDS_CLIP_BLUR_SEPARATE">
        <source>Blurring makes a re-encoded copy: choose a layout other than separate files.</source>
        <translation>Blurring makes a re-encoded copy: choose a layout other than separate files.</translation>
    </message>
    <message id="IDS_CLIP_BLUR_REFUSED">
        <source>Area %1 cannot be used: %2</source>
        <translation>Area %1 cannot be used: %2</translation>
    </message>
    <message id="IDS_CLIP_BLUR_CAMERA">
        <source>The marked areas were drawn on the other camera's picture and have been removed.</source>
        <translation>The marked areas were drawn on the other camera's picture and have been removed.</translation>
    </message>
    <message id="IDS_CLIP_BLUR_NO_PICTURE">
        <source>No picture at this moment: %1</source>
        <translation>No picture at this moment: %1</translation>
    </message>
    <message id="IDS_CLIP_HOLES">
        <source>The clip lacks part of the window (clip.txt lists each stretch and why):</source>
        <translation>The clip lacks part of the window (clip.txt lists each stretch and why):</translation>
    </message>
    <message id="IDS_CLIP_FAILED">
        <source>The clip could not be saved: %1</source>
        <translation>The clip could not be saved: %1</translation>
    </message>
    <message id="IDS_ABOUT">
        <source>About Rovix Manager</source>
        <translation>About Rovix Manager</translation>
    </message>
    <message id="IDS_KEYBOARD">
        <source>Keyboard</source>
        <translation>Keyboard</translation>
    </message>
    <message id="IDS_KEY_PLAY_PAUSE">
        <source>Play / pause</source>
        <translation>Play / pause</translation>
    </message>
    <message id="IDS_KEY_SEEK">
        <source>Back / forward 5 seconds</source>
        <translation>Back / forward 5 seconds</translation>
    </message>
    <message id="IDS_KEY_FRAME_STEP">
        <source>One frame back / forward while paused</source>
        <translation>One frame back / forward while paused</translation>
    </message>
    <message id="IDS_KEY_PREV_NEXT">
        <source>Previous / next video</source>
        <translation>Previous / next video</translation>
    </message>
    <message id="IDS_KEY_VOLUME">
        <source>Volume up / down</source>
        <translation>Volume up / down</translation>
    </message>
    <message id="IDS_KEY_FULL_SCREEN">
        <source>Full-screen video</source>
        <translation>Full-screen video</translation>
    </message>
    <message id="IDS_KEY_LEAVE_FULL_SCREEN">
        <source>Leave full screen</source>
        <translation>Leave full screen</translation>
    </message>
    <message id="IDS_KEY_EVENT">
        <source>Jump to the next / previous mark</source>
        <translation>Jump to the next / previous mark</translation>
    </message>
    <message id="IDS_ALL">
        <source>All</source>
        <translation>All</translation>
    </message>
    <message id="IDS_ALTITUDE">
        <source>Altitude</source>
        <translation>Altitude</translation>
    </message>
    <message id="IDS_BACKUP">
        <source>Back Up Files</source>
        <translation>Back Up Files</translation>
    </message>
    <message id="IDS_CALENDAR">
        <source>Calendar</source>
        <translation>Calendar</translation>
    </message>
    <message id="IDS_CANCEL">
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message id="IDS_CAPTURE">
        <source>Capture the current frame</source>
        <translation>Capture the current frame</translation>
    </message>
    <message id="IDS_CAPTURE_PREVIEW">
        <source>Capture Preview</source>
        <translation>Capture Preview</translation>
    </message>
    <message id="IDS_CHANGE_SKIN">
        <source>Change Skin</source>
        <translation>Change Skin</translation>
    </message>
    <message id="IDS_CHANGE_SPEED_UNIT">
        <source>Change the speed unit</source>
        <translation>Change the speed unit</translation>
    </message>
    <message id="IDS_LANGUAGE">
        <source>Language</source>
        <translation>Language</translation>
    </message>
    <message id="IDS_SPEED_UNIT">
        <source>Speed unit</source>
        <translation>Speed unit</translation>
    </message>
    <message id="IDS_CLOSE">
        <source>Close</source>
        <translation>Close</translation>
    </message>
    <message id="IDS_DESCRIPTION">
        <source>Description</source>
        <translation>Description</translation>
    </message>
    <message id="IDS_DIRECTION">
        <source>Direction</source>
        <translation>Direction</translation>
    </message>
    <message id="IDS_ERR_CAPTURE_FRAME">
        <source>The picture of this moment cannot be taken from the recording: it is damaged, incomplete, missing or still opening.</source>
        <translation>The picture of this moment cannot be taken from the recording: it is damaged, incomplete, missing or still opening.</translation>
    </message>
    <message id="IDS_ERR_SAVE_PICTURE">
        <source>The picture could not be saved. Check that the folder exists, can be written to and has free space.</source>
        <translation>The picture could not be saved. Check that the folder exists, can be written to and has free space.</translation>
    </message>
    <message id="IDS_ERR_FOLDER_READ_ONLY">
        <source>The destination folder is read-only. Please choose another folder.</source>
        <translation>The destination folder is read-only. Please choose another folder.</translation>
    </message>
    <message id="IDS_ERR_NO_DISK_SPACE">
        <source>There is not enough free space on the destination disk.</source>
        <translation>There is not enough free space on the destination disk.</translation>
    </message>
    <message id="IDS_ERR_SETTINGS_UNUSABLE">
        <source>The settings file %1 cannot be read or written. The folder opened and the settings changed now are kept only until the program ends.</source>
        <translation>The settings file %1 cannot be read or written. The folder opened and the settings changed now are kept only until the program ends.</translation>
    </message>
    <message id="IDS_ERR_NO_GPS_DATA">
        <source>No GPS data</source>
        <translation>No GPS data</translation>
    </message>
    <message id="IDS_ERR_NO_GSENSOR_DATA">
        <source>No G-sensor data</source>
        <translation>No G-sensor data</translation>
    </message>
    <message id="IDS_ERR_VIDEO_DECODE">
        <source>This recording cannot be played: it is damaged or incomplete.</source>
        <translation>This recording cannot be played: it is damaged or incomplete.</translation>
    </message>
    <message id="IDS_ERR_NO_INTERNET">
        <source>Cannot connect to the internet. Please check your network connection.</source>
        <translation>Cannot connect to the internet. Please check your network connection.</translation>
    </message>
    <message id="IDS_ERR_OVER_MAX_UPLOAD">
        <source>Too many files are selected. You can upload up to 10 files at a time.</source>
        <translation>Too many files are selected. You can upload up to 10 files at a time.</translation>
    </message>
    <message id="IDS_EVENT">
        <source>Event</source>
        <translation>Event</translation>
    </message>
    <message id="IDS_ERR_BACKUP_IN_SOURCE">
        <source>The chosen folder holds %1. Please choose another folder for the backup.</source>
        <translation>The chosen folder holds %1. Please choose another folder for the backup.</translation>
    </message>
    <message id="IDS_ERR_BACKUP_SAME_NAME">
        <source>%1 has the same file name as another chosen file. Please back them up in separate steps.</source>
        <translation>%1 has the same file name as another chosen file. Please back them up in separate steps.</translation>
    </message>
    <message id="IDS_ERR_BACKUP_READ">
        <source>Cannot read %1. The backup has stopped.</source>
        <translation>Cannot read %1. The backup has stopped.</translation>
    </message>
    <message id="IDS_ERR_BACKUP_WRITE">
        <source>Cannot write the copy of %1. The backup has stopped.</source>
        <translation>Cannot write the copy of %1. The backup has stopped.</translation>
    </message>
    <message id="IDS_ERR_BACKUP_VERIFY">
        <source>The copy of %1 does not match the original. The backup has stopped.</source>
        <translation>The copy of %1 does not match the original. The backup has stopped.</translation>
    </message>
    <message id="IDS_ERR_BACKUP_IN_USE">
        <source>The chosen folder is in use by another backup. Please try again when it has ended.</source>
        <translation>The chosen folder is in use by another backup. Please try again when it has ended.</translation>
    </message>
    <message id="IDS_ERR_BACKUP_CHANGED">
        <source>%1 changed while being copied. The backup has stopped.</source>
        <translation>%1 changed while being copied. The backup has stopped.</translation>
    </message>
    <message id="IDS_BACKUP_NOTHING_SELECTED">
        <source>No file is selected. Please select the files to back up.</source>
        <translation>No file is selected. Please select the files to back up.</translation>
    </message>
    <message id="IDS_BACKUP_N_OF_M">
        <source>%1 of %2</source>
        <translation>%1 of %2</translation>
    </message>
    <message id="IDS_BACKUP_BYTES">
        <source>%1 of %2</source>
        <translation>%1 of %2</translation>
    </message>
    <message id="IDS_BACKUP_TIME_LEFT">
        <source>about %1 left</source>
        <translation>about %1 left</translation>
    </message>
    <message id="IDS_DURATION_HOURS">
        <source>%1 h %2 min</source>
        <translation>%1 h %2 min</translation>
    </message>
    <message id="IDS_DURATION_MINUTES">
        <source>%1 min %2 s</source>
        <translation>%1 min %2 s</translation>
    </message>
    <message id="IDS_DURATION_SECONDS">
        <source>%1 s</source>
        <translation>%1 s</translation>
    </message>
    <message id="IDS_BACKUP_STOPPING">
        <source>Stopping...</source>
        <translation>Stopping...</translation>
    </message>
    <message id="IDS_BACKUP_WAITING">
        <source>Waiting for another backup into this folder to end...</source>
        <translation>Waiting for another backup into this folder to end...</translation>
    </message>
    <message id="IDS_BACKUP_PACKAGING">
        <source>Writing the evidence package...</source>
        <translation>Writing the evidence package...</translation>
    </message>
    <message id="IDS_BACKUP_SUMMARY_DONE">
        <source>The backup is complete.</source>
        <translation>The backup is complete.</translation>
    </message>
    <message id="IDS_BACKUP_SUMMARY_CANCELED">
        <source>The backup was canceled.</source>
        <translation>The backup was canceled.</translation>
    </message>
    <message id="IDS_BACKUP_SUMMARY_STOPPED">
        <source>The backup has stopped.</source>
        <translation>The backup has stopped.</translation>
    </message>
    <message id="IDS_BACKUP_SUMMARY_COPIED">
        <source>Copied: %1</source>
        <translation>Copied: %1</translation>
    </message>
    <message id="IDS_BACKUP_SUMMARY_IDENTICAL">
        <source>Skipped as identical: %1</source>
        <translation>Skipped as identical: %1</translation>
    </message>
    <message id="IDS_BACKUP_SUMMARY_FAILED">
        <source>Failed: %1 (%2)</source>
        <translation>Failed: %1 (%2)</translation>
    </message>
    <message id="IDS_BACKUP_SUMMARY_NOT_COPIED">
        <source>Not copied: %1</source>
        <translation>Not copied: %1</translation>
    </message>
    <message id="IDS_BACKUP_SUMMARY_PACKAGE">
        <source>Package folder: %1</source>
        <translation>Package folder: %1</translation>
    </message>
    <message id="IDS_ERR_EXPORT_FAILED">
        <source>Cannot write %1.</source>
        <translation>Cannot write %1.</translation>
    </message>
    <message id="IDS_ERR_SIGN_IN_FAILED">
        <source>Signing in did not give the right to post videos: it was not granted, or the service did not answer as expected. Please try again.</source>
        <translation>Signing in did not give the right to post videos: it was not granted, or the service did not answer as expected. Please try again.</translation>
    </message>
    <message id="IDS_ERR_NO_BROWSER">
        <source>No web browser could open the page. Copy this address into a browser:
%1</source>
        <translation>No web browser could open the page. Copy this address into a browser:
%1</translation>
    </message>
    <message id="IDS_EVIDENCE_PACKAGE">
        <source>Evidence package</source>
        <translation>Evidence package</translation>
    </message>
    <message id="IDS_FILE_DATE">
        <source>Date</source>
        <translation>Date</translation>
    </message>
    <message id="IDS_FILE_SIZE">
        <source>Size</source>
        <translation>Size</translation>
    </message>
    <message id="IDS_EXPORT_TO_KML">
        <source>Export the route to a KML file</source>
        <translation>Export the route to a KML file</translation>
    </message>
    <message id="IDS_FILE_NAME">
        <source>File name</source>
        <translation>File name</translation>
    </message>
    <message id="IDS_FULL_SCREEN">
        <source>Full screen</source>
        <translation>Full screen</translation>
    </message>
    <message id="IDS_LATITUDE">
        <source>Latitude</source>
        <translation>Latitude</translation>
    </message>
    <message id="IDS_LOGIN">
        <source>Log In</source>
        <translation>Log In</translation>
    </message>
    <message id="IDS_LONGITUDE">
        <source>Longitude</source>
        <translation>Longitude</translation>
    </message>
    <message id="IDS_NEXT_VIDEO">
        <source>Next video</source>
        <translation>Next video</translation>
    </message>
    <message id="IDS_NORMAL">
        <source>Normal</source>
        <translation>Normal</translation>
    </message>
    <message id="IDS_NORMAL_SCREEN">
        <source>Exit full screen</source>
        <translation>Exit full screen</translation>
    </message>
    <message id="IDS_OK">
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message id="IDS_OPEN">
        <source>Open a folder</source>
        <translation>Open a folder</translation>
    </message>
    <message id="IDS_PARKING">
        <source>Parking</source>
        <translation>Parking</translation>
    </message>
    <message id="IDS_PAUSE">
        <source>Pause</source>
        <translation>Pause</translation>
    </message>
    <message id="IDS_PLAY">
        <source>Play</source>
        <translation>Play</translation>
    </message>
    <message id="IDS_PLAY_SPEED">
        <source>Playback speed</source>
        <translation>Playback speed</translation>
    </message>
    <message id="IDS_PRE_VIDEO">
        <source>Previous video</source>
        <translation>Previous video</translation>
    </message>
    <message id="IDS_PRINT">
        <source>Print</source>
        <translation>Print</translation>
    </message>
    <message id="IDS_PRINT_DATE">
        <source>Printed on</source>
        <translation>Printed on</translation>
    </message>
    <message id="IDS_PRINT_PREVIEW">
        <source>Print Preview</source>
        <translation>Print Preview</translation>
    </message>
    <message id="IDS_SAVE_AS">
        <source>Save As...</source>
        <translation>Save As...</translation>
    </message>
    <message id="IDS_SETTINGS">
        <source>Settings</source>
        <translation>Settings</translation>
    </message>
    <message id="IDS_SKIN_STYLE_01">
        <source>Style 1</source>
        <translation>Style 1</translation>
    </message>
    <message id="IDS_SKIN_STYLE_02">
        <source>Style 2</source>
        <translation>Style 2</translation>
    </message>
    <message id="IDS_SKIN_STYLE_03">
        <source>Style 3</source>
        <translation>Style 3</translation>
    </message>
    <message id="IDS_SKIN_STYLE_04">
        <source>Style 4</source>
        <translation>Style 4</translation>
    </message>
    <message id="IDS_SOUND_MUTE">
        <source>Mute</source>
        <translation>Mute</translation>
    </message>
    <message id="IDS_SPEED">
        <source>Speed</source>
        <translation>Speed</translation>
    </message>
    <message id="IDS_TITLE">
        <source>Title</source>
        <translation>Title</translation>
    </message>
    <message id="IDS_TITLE_SHORTENED">
        <source>The title is limited to %1 characters; the rest was left out.</source>
        <translation>The title is limited to %1 characters; the rest was left out.</translation>
    </message>
    <message id="IDS_TOOLTIP_BACKUP">
        <source>Back up recordings to another folder</source>
        <translation>Back up recordings to another folder</translation>
    </message>
    <message id="IDS_TOOLTIP_PRINT">
        <source>Print the current frame with the map and data</source>
        <translation>Print the current frame with the map and data</translation>
    </message>
    <message id="IDS_UNIT_DEGREE">
        <source>°</source>
        <translation>°</translation>
    </message>
    <message id="IDS_UPLOAD">
        <source>Upload</source>
        <translation>Upload</translation>
    </message>
    <message id="IDS_UPLOAD_FACEBOOK">
        <source>Upload to a social network</source>
        <translation>Upload to a social network</translation>
    </message>
    <message id="IDS_UPLOAD_VIDEO_FAILED">
        <source>The video upload failed.</source>
        <translation>The video upload failed.</translation>
    </message>
    <message id="IDS_UPLOAD_VIDEO_OK">
        <source>The videos were uploaded.</source>
        <translation>The videos were uploaded.</translation>
    </message>
    <message id="IDS_UPLOAD_YOUTUBE">
        <source>Video sharing site</source>
        <translation>Video sharing site</translation>
    </message>
    <message id="IDS_VERSION_COPYRIGHT">
        <source>Rovix Manager Version %1
Copyright © %2 Rovix. All rights reserved.</source>
        <translation>Rovix Manager Version %1
Copyright © %2 Rovix. All rights reserved.</translation>
    </message>
    <message id="IDS_VIDEO_FILES">
        <source>Video files</source>
        <translation>Video files</translation>
    </message>
    <message id="IDS_WEEK_1">
        <source>Sun</source>
        <translation>Sun</translation>
    </message>
    <message id="IDS_WEEK_2">
        <source>Mon</source>
        <translation>Mon</translation>
    </message>
    <message id="IDS_WEEK_3">
        <source>Tue</source>
        <translation>Tue</translation>
    </message>
    <message id="IDS_WEEK_4">
        <source>Wed</source>
        <translation>Wed</translation>
    </message>
    <message id="IDS_WEEK_5">
        <source>Thu</source>
        <translation>Thu</translation>
    </message>
    <message id="IDS_WEEK_6">
        <source>Fri</source>
        <translation>Fri</translation>
    </message>
    <message id="IDS_WEEK_7">
        <source>Sat</source>
        <translation>Sat</translation>
    </message>
    <message id="IDS_WINDOW_SWITCH">
        <source>Swap cameras: show the other camera in the large picture</source>
        <translation>Swap cameras: show the other camera in the large picture</translation>
    </message>
    <message id="IDS_MAP_TILES_OFFLINE">
        <source>Map tiles unavailable offline: the route and position are still drawn</source>
        <translation>Map tiles unavailable offline: the route and position are still drawn</translation>
    </message>
    <message id="IDS_OFFER_PLACE_BY_NAME_TIME">
        <source>Most recordings in this folder carry a recording time in their names that is more than a day away from their file dates, as when a card is copied without its dates. Place them on the calendar by the times in their names?</source>
        <translation>Most recordings in this folder carry a recording time in their names that is more than a day away from their file dates, as when a card is copied without its dates. Place them on the calendar by the times in their names?</translation>
    </message>
    <message id="IDS_PLACE_BY_NAMES">
        <source>Place by names</source>
        <translation>Place by names</translation>
    </message>
    <message id="IDS_KEEP_FILE_DATES">
        <source>Keep file dates</source>
        <translation>Keep file dates</translation>
    </message>
    <message id="IDS_ATTACH_TRACK">
        <source>Attach a track...</source>
        <translation>Attach a track...</translation>
    </message>
    <message id="IDS_REMOVE_TRACK">
        <source>Remove the attached track</source>
        <translation>Remove the attached track</translation>
    </message>
    <message id="IDS_CORRECT_CAMERA_CLOCK">
        <source>Correct the camera clock</source>
        <translation>Correct the camera clock</translation>
    </message>
    <message id="IDS_CAMERA_CLOCK_MEASURING">
        <source>Comparing the camera clock with the GPS time in the recordings...</source>
        <translation>Comparing the camera clock with the GPS time in the recordings...</translation>
    </message>
    <message id="IDS_CAMERA_CLOCK_NO_GPS_TIME">
        <source>No recording on this card carries GPS time: the camera clock cannot be checked.</source>
        <translation>No recording on this card carries GPS time: the camera clock cannot be checked.</translation>
    </message>
    <message id="IDS_ATTACH_TRACK_TITLE">
        <source>Attach a track</source>
        <translation>Attach a track</translation>
    </message>
    <message id="IDS_ATTACH_TRACK_FILTER">
        <source>Tracks (*.gpx *.kml *.nmea *.nma *.log *.txt *.csv);;All files (*)</source>
        <translation>Tracks (*.gpx *.kml *.nmea *.nma *.log *.txt *.csv);;All files (*)</translation>
    </message>
    <message id="IDS_ATTACH_THIS_RECORDING">
        <source>This recording</source>
        <translation>This recording</translation>
    </message>
    <message id="IDS_ATTACH_WHOLE_TRIP">
        <source>Its whole trip</source>
        <translation>Its whole trip</translation>
    </message>
    <message id="IDS_ATTACH_OFFSET">
        <source>Offset: the track's clock against the camera's (a phone 5 s ahead takes +5)</source>
        <translation>Offset: the track's clock against the camera's (a phone 5 s ahead takes +5)</translation>
    </message>
    <message id="IDS_ATTACH_OFFSET_VALUE">
        <source>Offset %1</source>
        <translation>Offset %1</translation>
    </message>
    <message id="IDS_ATTACH_COVERS">
        <source>The track gives positions for %1 of the recording's %2 seconds</source>
        <translation>The track gives positions for %1 of the recording's %2 seconds</translation>
    </message>
    <message id="IDS_ATTACH_NOT_COVERED">
        <source>No position at this offset: %1</source>
        <translation>No position at this offset: %1</translation>
    </message>
    <message id="IDS_ATTACH_NO_RECORDING">
        <source>Open a recording first, then attach its track.</source>
        <translation>Open a recording first, then attach its track.</translation>
    </message>
    <message id="IDS_ERR_TRACK_FILE">
        <source>%1 cannot be attached: %2</source>
        <translation>%1 cannot be attached: %2</translation>
    </message>
    <message id="IDS_ERR_TRACK_STORE">
        <source>The attached track cannot be stored: %1</source>
        <translation>The attached track cannot be stored: %1</translation>
    </message>
    <message id="IDS_ARCHIVE_VEHICLE">
        <source>Vehicle</source>
        <translation>Vehicle</translation>
    </message>
    <message id="IDS_ARCHIVE_UNREADABLE">
        <source>The archive's catalogue cannot be read: %1
The folder is opened as a card.</source>
        <translation>The archive's catalogue cannot be read: %1
The folder is opened as a card.</translation>
    </message>
    <message id="IDS_ARCHIVE_NONE">
        <source>No fleet archive is open.</source>
        <translation>No fleet archive is open.</translation>
    </message>
    <message id="IDS_ARCHIVE_FIND_FAILED">
        <source>The search failed: %1</source>
        <translation>The search failed: %1</translation>
    </message>
    <message id="IDS_ARCHIVE_FIND_PASSES">
        <source>Find passes near here...</source>
        <translation>Find passes near here...</translation>
    </message>
    <message id="IDS_ARCHIVE_NOT_IN_LIBRARY">
        <source>This recording is no longer in the vehicle's folder.</source>
        <translation>This recording is no longer in the vehicle's folder.</translation>
    </message>
    <message id="IDS_ARCHIVE_NOT_IN_LIST">
        <source>This recording's type is switched off in the file list. Switch it on to play the recording.</source>
        <translation>This recording's type is switched off in the file list. Switch it on to play the recording.</translation>
    </message>
    <message id="IDS_PASSES_TITLE">
        <source>Find passes</source>
        <translation>Find passes</translation>
    </message>
    <message id="IDS_PASSES_PLACE">
        <source>Place</source>
        <translation>Place</translation>
    </message>
    <message id="IDS_PASSES_RADIUS">
        <source>Radius</source>
        <translation>Radius</translation>
    </message>
    <message id="IDS_PASSES_FROM">
        <source>From</source>
        <translation>From</translation>
    </message>
    <message id="IDS_PASSES_TO">
        <source>To</source>
        <translation>To</translation>
    </message>
    <message id="IDS_PASSES_VEHICLE">
        <source>Vehicle</source>
        <translation>Vehicle</translation>
    </message>
    <message id="IDS_PASSES_RECORDING">
        <source>Recording</source>
        <translation>Recording</translation>
    </message>
    <message id="IDS_PASSES_SECOND">
        <source>Second</source>
        <translation>Second</translation>
    </message>
    <message id="IDS_PASSES_TIME">
        <source>Time</source>
        <translation>Time</translation>
    </message>
    <message id="IDS_PASSES_DISTANCE">
        <source>Distance</source>
        <translation>Distance</translation>
    </message>
    <message id="IDS_PASSES_FIND">
        <source>Find</source>
        <translation>Find</translation>
    </message>
    <message id="IDS_PASSES_SEARCHING">
        <source>Searching...</source>
        <translation>Searching...</translation>
    </message>
    <message id="IDS_PASSES_NONE">
        <source>No recording passed within the radius.</source>
        <translation>No recording passed within the radius.</translation>
    </message>
    <message id="IDS_PASSES_FOUND">
        <source>%1 passes. Click one to play it.</source>
        <translation>%1 passes. Click one to play it.</translation>
    </message>
    <message id="IDS_PASSES_BAD_PERIOD">
        <source>The period ends before it begins.</source>
        <translation>The period ends before it begins.</translation>
    </message>
</context>
</TS>
