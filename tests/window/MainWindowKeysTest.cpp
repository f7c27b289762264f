// The main window's key routing: a text field, a combo box or a spin box
// keeps every key typed into it, even those it passes on (Up, Escape in a
// line edit); keys nobody used reach the handler.
#include "app/MainWindow.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSpinBox>
#include <QTest>
#include <gtest/gtest.h>

TEST(MainWindowKeys, TextFieldsAndComboBoxesKeepWhatIsTypedIntoThem)
{
    MainWindow window;
    std::vector<int> handled;
    window.setKeyHandler([&](const QKeyEvent& e) {
        handled.push_back(e.key());
        return true;
    });
    const std::vector<QWidget*> fields = {new QLineEdit(window.contentView()),
                                          new QComboBox(window.contentView()),
                                          new QSpinBox(window.contentView())};
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    for (QWidget* w : fields) {
        w->setFocus();
        for (Qt::Key key :
             {Qt::Key_Up, Qt::Key_Down, Qt::Key_Escape, Qt::Key_Space, Qt::Key_M, Qt::Key_PageDown})
            QTest::keyClick(w, key);
        EXPECT_TRUE(handled.empty()) << w->metaObject()->className();
        handled.clear();
    }
    window.contentView()->setFocus();
    QTest::keyClick(window.contentView(), Qt::Key_Space);
    EXPECT_EQ(handled, std::vector<int>{Qt::Key_Space});
}
