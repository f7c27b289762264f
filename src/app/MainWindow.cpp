#include "app/MainWindow.h"

#include "base/Services.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPalette>
#include <QPlainTextEdit>
#include <QResizeEvent>
#include <QTextEdit>
#include <QUrl>

namespace
{
void paintBlack(QWidget* w)
{
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, Qt::black);
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}
} // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(pmLoadString(QStringLiteral("IDR_MAINFRAME")));
    setMinimumSize(980, 660);
    resize(980, 660);
    m_contentView = new QWidget(this);
    m_contentView->setObjectName(QStringLiteral("contentView"));
    setCentralWidget(m_contentView);

    _playerView = new QWidget(m_contentView);
    _playerView->setObjectName(QStringLiteral("_playerView"));
    _playerView2 = new QWidget(m_contentView);
    _playerView2->setObjectName(QStringLiteral("_playerView2"));
    _playerView2->hide(); // shown in two-camera mode only
    // A click anywhere in the window takes the keyboard back from a combo
    // box or a list (the skinned buttons never take it themselves), so the
    // player's keys work again after the user has used one.
    m_contentView->setFocusPolicy(Qt::ClickFocus);
    // The bars' buttons explain themselves on hover even while another
    // window has the focus (a file manager the user dragged a card from).
    setAttribute(Qt::WA_AlwaysShowToolTips);
    setAcceptDrops(true);
    setBlackBackground();
}

QSize MainWindow::contentSize() const
{
    return m_contentView->size();
}

void MainWindow::setBlackBackground()
{
    paintBlack(this);
    paintBlack(m_contentView);
    paintBlack(_playerView);
    paintBlack(_playerView2);
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    Q_EMIT resized(m_contentView->size());
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    Q_EMIT closing();
    QMainWindow::closeEvent(event);
}

void MainWindow::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange)
        return;
    const auto* change = static_cast<QWindowStateChangeEvent*>(event);
    const bool wasMaximized = change->oldState().testFlag(Qt::WindowMaximized);
    if (wasMaximized != isMaximized() && !isFullScreen())
        Q_EMIT zoomed(m_contentView->size());
}

bool MainWindow::keepsKeys(const QWidget* widget)
{
    for (const QWidget* w = widget; w && !w->isWindow(); w = w->parentWidget()) {
        if (qobject_cast<const QLineEdit*>(w) || qobject_cast<const QTextEdit*>(w) ||
            qobject_cast<const QPlainTextEdit*>(w) || qobject_cast<const QAbstractSpinBox*>(w) ||
            qobject_cast<const QComboBox*>(w) || w->inherits("ComboBox") || w->inherits("ListBox"))
            return true;
    }
    return false;
}

void MainWindow::keyPressEvent(QKeyEvent* event)
{
    QWidget* focus = QApplication::focusWidget();
    const bool mine = !focus || focus->window() == this;
    if (m_keyHandler && mine && !keepsKeys(focus) && m_keyHandler(*event)) {
        event->accept();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

QString MainWindow::droppedFolder(const QMimeData* data)
{
    if (!data || !data->hasUrls())
        return QString();
    const QList<QUrl> urls = data->urls();
    if (urls.isEmpty() || !urls.first().isLocalFile())
        return QString();
    const QFileInfo info(urls.first().toLocalFile());
    return info.isDir() ? info.absoluteFilePath() : QString();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (!droppedFolder(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event)
{
    if (!droppedFolder(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void MainWindow::dropEvent(QDropEvent* event)
{
    const QString folder = droppedFolder(event->mimeData());
    if (folder.isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    Q_EMIT folderDropped(folder);
}
