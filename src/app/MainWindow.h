#pragma once
// The main window: a black content view that the panels are placed on. The
// controller lays the panels out (frames computed with a bottom-left origin
// and converted where they are applied); this class only hosts them and
// reports resizes and closing. Main thread only.
#include <QMainWindow>

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

Q_SIGNALS:
    void resized(const QSize& contentSize);
    // The window was maximised or restored from maximised (its content size then).
    void zoomed(const QSize& contentSize);
    void closing();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QWidget* m_contentView = nullptr;
    QWidget* _playerView = nullptr;
    QWidget* _playerView2 = nullptr;
};
