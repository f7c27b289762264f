#pragma once
// The library's panels: the file list and the calendar choose the playlist
// (read at each filtering), and the file list shows its rows.
class CalendarView;
class FileListView;
class LibraryModel;

// Either panel may be null (no file list: every type; no calendar: every day).
void connectLibraryPanels(LibraryModel& library, FileListView* fileList, CalendarView* calendar);
