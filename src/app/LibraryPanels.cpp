#include "app/LibraryPanels.h"

#include "controls/CalendarView.h"
#include "controls/FileListView.h"
#include "library/LibraryModel.h"

#include <QPointer>

void connectLibraryPanels(LibraryModel& library, FileListView* fileList, CalendarView* calendar)
{
    // file list, calendar -> library: the choice the playlist is filtered by
    QPointer<FileListView> list(fileList);
    QPointer<CalendarView> days(calendar);
    library.setListSource([list, days] {
        LibraryModel::ListChoice choice;
        if (list) {
            choice.showNormal = list->isShowNormalFile();
            choice.showEvent = list->isShowEventFile();
            choice.showParking = list->isShowParkingFile();
            choice.selectedRow = list->getCurSel();
        }
        if (days) {
            short year = 0, month = 0, day = 0;
            days->GetSelectDay(year, month, day);
            choice.hasDay = true;
            choice.year = year;
            choice.month = month;
            choice.day = day;
        }
        return choice;
    });
    if (!fileList)
        return;
    // library -> file list: its rows, and the marks kept on their recordings
    QObject::connect(&library, &LibraryModel::fileListFilled, fileList,
                     [fileList](const std::vector<FileListRow>& rows) { fileList->buildFileList(rows); });
    QObject::connect(&library, &LibraryModel::fileListMarksKept, fileList,
                     [fileList](int playRow, int selectedRow) {
                         if (playRow >= 0)
                             fileList->showPlayMark(playRow);
                         if (selectedRow != -2)
                             fileList->setCurSel(selectedRow, false);
                     });
}
