#include "controls/FileListView.h"

#include "base/AMediaFile.h"
#include "base/NotificationCenter.h"
#include "base/Services.h"
#include "controls/CheckBox.h"
#include "controls/FileListBox.h"
#include "controls/ListBoxBase.h"
#include "core/Log.h"

#include <QPainter>

FileListView::FileListView(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("FileListView"));
    oHeaderImage = listskin::load(strHeaderImageName);
    if (width() < FileListLayout::kListWidth || height() <= FileListLayout::kHeaderHeight)
        resize(FileListLayout::kListWidth, 400);
    oFileListBox = new FileListBox(this);
    oFileListBox->setRealParent(pmIdentityString(this));
    setupButtons();
    relayoutContents(false, width(), height());

    auto& nc = NotificationCenter::defaultCenter();
    nc.addObserver(this, Notifications::CheckBoxChanged,
                   [this](const Notification& n) { checkBoxSelectChanged(n); });
    connect(oFileListBox, &FileListBox::rowSelected, this, &FileListView::fileListBoxSelectChanged);
    connect(oFileListBox, &FileListBox::rowDoubleClicked, this, &FileListView::listRowDoubleClicked);
}

FileListView::~FileListView()
{
    NotificationCenter::defaultCenter().removeObserver(this);
}

void FileListView::setupButtons()
{
    const QString me = pmIdentityString(this);
    auto make = [&](const char* name, bool checked, const char* textId) {
        auto* box = new CheckBox(this);
        box->setObjectName(QString::fromLatin1(name));
        box->setCheck(checked);
        box->enableCheckBox(true);
        box->setTitle(pmLoadString(QString::fromLatin1(textId)));
        box->setRealParent(me);
        return box;
    };
    oEventCheckBox = make("EventCheckBox", bShowEventFile, "IDS_EVENT");
    oNormalCheckBox = make("NormalCheckBox", bShowNormalFile, "IDS_NORMAL");
    oParkingCheckBox = make("ParkingCheckBox", bShowParkingFile, "IDS_PARKING");
    oParkingCheckBox->setVisible(bSupportParking);
}

void FileListView::relayoutContents(bool rightToLeft, int w, int h)
{
    bDrawR2L = rightToLeft;
    if (size() != QSize(w, h))
        resize(w, h); // resizeEvent lays out again
    else
        applyFrames();
}

void FileListView::resizeEvent(QResizeEvent*)
{
    applyFrames();
}

void FileListView::relayoutCheckBox(bool rightToLeft)
{
    bDrawR2L = rightToLeft;
    applyFrames();
}

void FileListView::applyFrames()
{
    m_layout = FileListLayout::compute(width(), height(), bDrawR2L);
    const int h = height();
    oEventCheckBox->setGeometry(pmQtRect(m_layout.event, h));
    oNormalCheckBox->setGeometry(pmQtRect(m_layout.normal, h));
    oParkingCheckBox->setGeometry(pmQtRect(m_layout.parking, h));
    for (CheckBox* b : {oEventCheckBox, oNormalCheckBox, oParkingCheckBox})
        b->relayoutContents(bDrawR2L);
    const QRect list = pmQtRect(m_layout.fileList, h);
    oFileListBox->move(list.topLeft());
    oFileListBox->relayoutContents(bDrawR2L, list.width(), std::max(0, list.height()));
    update();
}

void FileListView::buildFileList(std::vector<FileListRow> rows)
{
    oFileListBox->setRows(std::move(rows));
    showPlayMark(-1);
}

FileListRow FileListView::rowForEntry(const AMediaFile& entry)
{
    FileListRow row = makeFileListRow(entry.path(), entry.fileDate());
    row.name = fileListDisplayName(entry.localizedName());
    row.nativePath = entry.nativePath();
    return row;
}

void FileListView::buildFileList(const QList<AMediaFile>& entries)
{
    std::vector<FileListRow> rows;
    rows.reserve(size_t(entries.size()));
    for (const AMediaFile& e : entries)
        rows.push_back(rowForEntry(e));
    buildFileList(std::move(rows));
}

void FileListView::showPlayMark(int row)
{
    oFileListBox->showPlayMark(row);
}

void FileListView::setMarkedPaths(const QSet<QString>& paths)
{
    oFileListBox->setMarkedPaths(paths);
}

void FileListView::setCurSel(int row, bool alsoPlayMark)
{
    const int count = oFileListBox->getCount();
    if (count <= 0 || row < 0 || row >= count)
        return;
    if (alsoPlayMark)
        oFileListBox->showPlayMark(row);
    oFileListBox->setCurSel(row);
}

int FileListView::getCurSel() const
{
    return oFileListBox->getCurSel();
}

void FileListView::changeLanguage()
{
    oEventCheckBox->setTitle(pmLoadString(QStringLiteral("IDS_EVENT")));
    oNormalCheckBox->setTitle(pmLoadString(QStringLiteral("IDS_NORMAL")));
    oParkingCheckBox->setTitle(pmLoadString(QStringLiteral("IDS_PARKING")));
    update();
}

void FileListView::loadSkinBitmap()
{
    oHeaderImage = listskin::load(strHeaderImageName);
    for (CheckBox* b : {oEventCheckBox, oNormalCheckBox, oParkingCheckBox})
        b->loadSkinBitmap();
    oFileListBox->loadSkinBitmap();
    applyFrames();
}

void FileListView::checkBoxSelectChanged(const Notification& n)
{
    const QString who = n.userInfo.value(QStringLiteral("CHECKBOX_WINDOW")).toString();
    const bool on = n.object.toInt() > 0;
    if (who == pmIdentityString(oEventCheckBox))
        bShowEventFile = on;
    else if (who == pmIdentityString(oNormalCheckBox))
        bShowNormalFile = on;
    else if (who == pmIdentityString(oParkingCheckBox))
        bShowParkingFile = on;
    else
        return;
    NotificationCenter::defaultCenter().post(Notifications::FileListViewCheckBox);
}

void FileListView::fileListBoxSelectChanged(int row)
{
    pmWriteLog("FileListView::fileListBoxSelectChanged - row = " + std::to_string(row));
    Q_EMIT rowClicked(row);
}

void FileListView::listRowDoubleClicked(int row)
{
    oFileListBox->showPlayMark(row);
    Q_EMIT rowDoubleClicked(row);
}

void FileListView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    if (!oHeaderImage.isNull())
        p.drawPixmap(pmQtRect(m_layout.header, height()).topLeft(), oHeaderImage);
}
