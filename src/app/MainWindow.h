#pragma once
// The main window: a black content view that the panels are placed on. The
// controller lays the panels out (frames computed with a bottom-left origin
// and converted where they are applied); this class only hosts them and
// reports resizes and closing. Main thread only.
//
// Keys: a key that no child used (the focus widget passes it up) goes to the
// key handler the controller installs, except while a text field or a combo
// box has the focus: what is typed there stays there. A folder dropped onto
// the window is handed on as folderDropped().
#include <QMainWindow>
#include <functional>

class QKeyEvent;
class QMimeData;

class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);

    // The view every panel is a child of.
    QWidget* contentView() const { return m_contentView; }
    // The hosts into which the first and second video surfaces are inserted.
    QWidget* playerView() const { return _playerView; }
    QWidget* playerView2() const { return _playerView2; }
    QSize contentSize() const;

    void setBlackBackground();

    // Answers whether it acted on the key; unhandled keys go on as usual.
    using KeyHandler = std::function<bool(const QKeyEvent&)>;
    void setKeyHandler(KeyHandler handler) { m_keyHandler = std::move(handler); }
    // Whether keys typed into this widget belong to it (text fields, combo boxes and their lists).
    static bool keepsKeys(const QWidget* widget);
    // The folder a drag carries: its first local URL when that is a folder; empty otherwise.
    static QString droppedFolder(const QMimeData* data);

Q_SIGNALS:
    void resized(const QSize& contentSize);
    // The window was maximised or restored from maximised (its content size then).
    void zoomed(const QSize& contentSize);
    void closing();
    // A folder was dropped onto the window.
    void folderDropped(const QString& folder);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QWidget* m_contentView = nullptr;
    QWidget* _playerView = nullptr;
    QWidget* _playerView2 = nullptr;
    KeyHandler m_keyHandler;
};
