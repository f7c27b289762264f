#pragma once
// The file list panel: a header strip with the event/normal/parking check
// boxes and the file list below it. The controller hands it the playlist as
// rows (buildFileList) and reads the three filters; the panel reports a filter
// change with FileListViewCheckBox, and a click or a double click on a row by
// its signals. Frames are bottom-left (FileListLayout). Must run on the main
// thread.
#include "controls/FileListLayout.h"

#include <QPixmap>
#include <QSet>
#include <QWidget>
#include <vector>

class AMediaFile;
class CheckBox;
class FileListBox;
struct Notification;

class FileListView : public QWidget
{
    Q_OBJECT
public:
    explicit FileListView(QWidget* parent = nullptr);
    ~FileListView() override;

    // Replaces the rows (playlist order) and removes the play mark.
    void buildFileList(std::vector<FileListRow> rows);
    // The same from playlist entries: path, display name, the file date taken
    // at the scan (so a file that vanished still shows when it was recorded).
    void buildFileList(const QList<AMediaFile>& entries);
    static FileListRow rowForEntry(const AMediaFile& entry);
    bool isShowNormalFile() const { return bShowNormalFile; }
    bool isShowEventFile() const { return bShowEventFile; }
    bool isShowParkingFile() const { return bShowParkingFile; }
    bool isSupportParking() const { return bSupportParking; }
    void showPlayMark(int row);
    // The recordings whose rows carry a time mark (FileListBox::setMarkedPaths).
    void setMarkedPaths(const QSet<QString>& paths);
    // Valid rows only: optionally moves the play mark, selects and scrolls into view.
    void setCurSel(int row, bool alsoPlayMark);
    int getCurSel() const;
    void relayoutContents(bool rightToLeft, int width, int height);
    void relayoutCheckBox(bool rightToLeft);
    void changeLanguage();
    void loadSkinBitmap();

    FileListBox* fileListBox() const { return oFileListBox; }
    CheckBox* eventCheckBox() const { return oEventCheckBox; }
    CheckBox* normalCheckBox() const { return oNormalCheckBox; }
    CheckBox* parkingCheckBox() const { return oParkingCheckBox; }
    const FileListLayout& layoutModel() const { return m_layout; }

Q_SIGNALS:
    // A single click chose this row.
    void rowClicked(int row);
    // A double click (or Enter) asks to play this row; it already carries the play mark.
    void rowDoubleClicked(int row);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void setupButtons();
    void checkBoxSelectChanged(const Notification& n);
    void fileListBoxSelectChanged(int row);
    void listRowDoubleClicked(int row);
    void applyFrames();

    QPixmap oHeaderImage;
    QString strHeaderImageName = QStringLiteral("bg_calendar_title.png");
    CheckBox* oEventCheckBox = nullptr;
    CheckBox* oNormalCheckBox = nullptr;
    CheckBox* oParkingCheckBox = nullptr;
    FileListBox* oFileListBox = nullptr;
    bool bShowEventFile = true;
    bool bShowNormalFile = true;
    bool bShowParkingFile = true;
    bool bSupportParking = true;
    bool bDrawR2L = false;
    FileListLayout m_layout;
};
