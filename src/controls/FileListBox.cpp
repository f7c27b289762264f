#include "controls/FileListBox.h"

#include "base/Services.h"
#include "controls/ListBoxBase.h"
#include "controls/TimeMark.h"
#include "core/FileRules.h"

#include <QKeyEvent>
#include <QPainter>

#include <algorithm>

FileListBox::FileListBox(QWidget* parent) : ListBoxBase(ListGeometry::Kind::FileList, parent)
{
    setObjectName(QStringLiteral("FileListBox"));
    m_typeOfPath = [](const FileListRow& row) {
        return int(
            pmGetFileType(row.nativePath.isEmpty() ? row.path.toStdString() : row.nativePath.toStdString()));
    };
    m_font = listskin::uiFont(11);
    // A click on a row gives the list the keyboard (and Tab reaches it).
    setFocusPolicy(Qt::StrongFocus);
    loadSkinBitmap();
}

void FileListBox::keyPressEvent(QKeyEvent* event)
{
    // Shift+Up and the like stay the player's.
    if (event->modifiers() & ~Qt::KeypadModifier) {
        event->ignore();
        return;
    }
    const int count = getCount();
    const int current = std::clamp(nCurSelectIndex, 0, std::max(0, count - 1));
    int row = current;
    switch (event->key()) {
    case Qt::Key_Up:
        row = current - 1;
        break;
    case Qt::Key_Down:
        row = current + 1;
        break;
    case Qt::Key_Home:
        row = 0;
        break;
    case Qt::Key_End:
        row = count - 1;
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        event->accept();
        if (nCurSelectIndex >= 0 && nCurSelectIndex < count)
            rowClicked(nCurSelectIndex, 2);
        return;
    default:
        event->ignore();
        return;
    }
    event->accept();
    if (count == 0)
        return;
    row = std::clamp(row, 0, count - 1);
    if (row == nCurSelectIndex) {
        setCurSel(row); // scrolled away from it: show it again
        return;
    }
    setCurSel(row);
    rowClicked(row, 1);
}

void FileListBox::loadSkinBitmap()
{
    poEvenBitamp = listskin::load(QStringLiteral("icon_event.png"));
    poParkingBitamp = listskin::load(QStringLiteral("icon_parking.png"));
    poPlayBitamp = listskin::load(QStringLiteral("icon_play.png"));
    m_skinId = listskin::skinId();
    ListBoxBase::loadSkinBitmap();
}

void FileListBox::insertString(int, const QString& path)
{
    listBoxData.push_back(makeFileListRow(path, QDateTime()));
    m_typeCache.push_back(-1);
    countChanged(int(listBoxData.size()));
}

void FileListBox::setRows(std::vector<FileListRow> rows)
{
    listBoxData = std::move(rows);
    m_typeCache.assign(listBoxData.size(), -1);
    nListBoxStartIndex = 0;
    nCurSelectIndex = 0;
    countChanged(int(listBoxData.size()));
}

QString FileListBox::getText(int index) const
{
    return index >= 0 && index < int(listBoxData.size()) ? listBoxData[size_t(index)].path : QString();
}

const FileListRow* FileListBox::row(int index) const
{
    return index >= 0 && index < int(listBoxData.size()) ? &listBoxData[size_t(index)] : nullptr;
}

void FileListBox::resetContent()
{
    listBoxData.clear();
    m_typeCache.clear();
    resetScrollState(); // the play mark stays
}

void FileListBox::showPlayMark(int r)
{
    nPlayVideoIndex = r;
    update();
}

void FileListBox::setMarkedPaths(const QSet<QString>& paths)
{
    m_markedPaths = paths;
    update();
}

bool FileListBox::isMarked(int index) const
{
    return index >= 0 && index < getCount() && m_markedPaths.contains(listBoxData[size_t(index)].path);
}

void FileListBox::setCaptureMouseEvent()
{
    setFocus(Qt::MouseFocusReason);
    setMouseTracking(true);
}

void FileListBox::clearCaptureMouseEvent()
{
    // Hover states are still wanted for the scroll bar; the list keeps tracking.
}

QColor FileListBox::rowTextColor(int skinId, bool selected)
{
    if (selected || skinId == 1 || skinId == 2)
        return Qt::black;
    return Qt::white;
}

int FileListBox::rowType(int index) const
{
    const FileListRow& r = listBoxData[size_t(index)];
    if (r.type >= 0)
        return r.type;
    signed char& cached = m_typeCache[size_t(index)];
    if (cached < 0)
        cached = static_cast<signed char>(m_typeOfPath ? m_typeOfPath(r) : 0);
    return cached;
}

void FileListBox::rowClicked(int index, int clickCount)
{
    if (clickCount >= 2) {
        Q_EMIT rowDoubleClicked(index);
        return;
    }
    Q_EMIT rowSelected(index);
}

void FileListBox::drawRow(QPainter& p, int, int index, const QRect& R)
{
    const int W = m_geo.width();
    const int H = m_geo.height();
    const FileListRow& r = listBoxData[size_t(index)];
    // R is a Qt rectangle; the text frames are given bottom-up inside the list.
    const PmFrame rb{R.x(), H - R.y() - R.height(), R.width(), R.height()};
    const int h = rb.height / 2;

    auto iconAt = [&](const QPixmap& icon, int x) {
        if (icon.isNull())
            return;
        const int left = bDrawR2L ? W - icon.width() - x : x;
        p.drawPixmap(left, R.y() + (R.height() - icon.height()) / 2, icon);
    };
    if (index == nPlayVideoIndex)
        iconAt(poPlayBitamp, 2);
    const int type = rowType(index);
    if (type == kRecordingEvent)
        iconAt(poEvenBitamp, 28);
    else if (type == kRecordingParking)
        iconAt(poParkingBitamp, 28);

    p.setPen(rowTextColor(m_skinId, index == nCurSelectIndex));
    p.setFont(m_font);
    auto frame = [&](int x, int y, int w) {
        PmFrame f{x, y, w, h};
        return pmQtRect(bDrawR2L ? f.mirrored(W) : f, H);
    };
    const Qt::Alignment side = bDrawR2L ? Qt::AlignRight : Qt::AlignLeft;
    p.drawText(frame(65, rb.y + h - 6, 210), side | Qt::AlignVCenter, r.name);
    p.drawText(frame(65, rb.y + 6, 66), side | Qt::AlignVCenter, r.dateText);
    p.drawText(frame(143, rb.y + 6, 56), side | Qt::AlignVCenter, r.timeText);
    if (m_markedPaths.contains(r.path)) {
        // After the time on the second line.
        const QRect line = frame(205, rb.y + 6, kTimeMarkWidth);
        pmDrawTimeMark(p, line.center().x(), line.center().y() - kTimeMarkHeight / 2);
    }
}
