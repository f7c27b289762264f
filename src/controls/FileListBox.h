#pragma once
// The file list: two-line rows (type icon, play mark, name, date and time, and
// a time mark's wedge on recordings known to hold one) in playlist order,
// with a scroll bar. Emits rowSelected on a click and rowDoubleClicked on a
// double click; its panel forwards both. Must run on the main thread.
#include "controls/FileListLayout.h"
#include "controls/ListBoxBase.h"

#include <QSet>

#include <functional>
#include <vector>

class FileListBox : public ListBoxBase
{
    Q_OBJECT
public:
    // How a row's recording type is worked out when the row model leaves it open.
    // The default is the file-name rule, which may look at the file's write
    // permission once for names without a type prefix; it never opens the file.
    using TypeOfPath = std::function<int(const FileListRow& row)>;

    explicit FileListBox(QWidget* parent = nullptr);

    // Appends a row for a path (the index is not used: rows are always appended).
    void insertString(int index, const QString& path);
    void setRows(std::vector<FileListRow> rows);
    QString getText(int index) const;
    const FileListRow* row(int index) const;
    void resetContent();
    void showPlayMark(int row);
    void ClearPlayMark() { showPlayMark(-1); }
    int playMark() const { return nPlayVideoIndex; }
    void setCaptureMouseEvent();
    void clearCaptureMouseEvent();
    void loadSkinBitmap() override;
    void setTypeOfPath(TypeOfPath fn) { m_typeOfPath = std::move(fn); }
    // The recordings that carry a mark, by path; rows follow them through
    // any rebuild of the list.
    void setMarkedPaths(const QSet<QString>& paths);
    bool isMarked(int index) const;

    // Text colour of rows that are not selected: white with skins 0 and 3, black with 1 and 2.
    static QColor rowTextColor(int skinId, bool selected);
    // The recording type a row is drawn with (worked out once, on first use).
    int recordingType(int index) const { return index >= 0 && index < getCount() ? rowType(index) : -1; }

Q_SIGNALS:
    // A single click on this row.
    void rowSelected(int row);
    // A double click on this row, or Enter on the selected one.
    void rowDoubleClicked(int row);

protected:
    // With the list focused: Up and Down move the selection, Home and End go
    // to the ends (each as a click on the row), Enter plays the selected row
    // (as a double click). Other keys go on to the window (the player's keys).
    void keyPressEvent(QKeyEvent* event) override;
    void rowClicked(int index, int clickCount) override;
    void drawRow(QPainter& p, int k, int index, const QRect& rowRect) override;
    bool handlesWheel() const override { return true; }
    QString imagePrefix() const override { return QStringLiteral("list"); }

private:
    int rowType(int index) const;

    std::vector<FileListRow> listBoxData;
    mutable std::vector<signed char> m_typeCache; // -1 until first drawn
    int nPlayVideoIndex = -1;
    int m_skinId = 3;
    TypeOfPath m_typeOfPath;
    QSet<QString> m_markedPaths;
    QPixmap poEvenBitamp, poParkingBitamp, poPlayBitamp;
    QFont m_font;
};
