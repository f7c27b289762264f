#include "app/MainWindow.h"

#include "base/Services.h"

#include <QCloseEvent>
#include <QEvent>
#include <QPalette>
#include <QResizeEvent>

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
