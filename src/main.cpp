#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QMainWindow w;
    w.setMinimumSize(980, 660);
    w.show();
    return app.exec();
}
