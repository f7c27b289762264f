// The main window's key routing: keys nobody used reach the handler, keys
// typed into a text field or a combo box never do, even those the field
// itself passes on (Up, Down, Escape in a line edit).
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
        return e.key() != Qt::Key_A; // A is left unused
    });
    auto* field = new QLineEdit(window.contentView());
    auto* combo = new QComboBox(window.contentView());
    combo->addItems({QStringLiteral("one"), QStringLiteral("two")});
    auto* spin = new QSpinBox(window.contentView());
    combo->move(0, 40);
    spin->move(0, 80);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

    for (QWidget* w : std::initializer_list<QWidget*>{field, combo, spin}) {
        w->setFocus();
        ASSERT_EQ(QApplication::focusWidget(), w);
        for (Qt::Key key : {Qt::Key_Up, Qt::Key_Down, Qt::Key_Escape, Qt::Key_Space, Qt::Key_M, Qt::Key_Left,
                            Qt::Key_PageDown})
            QTest::keyClick(w, key);
        EXPECT_TRUE(handled.empty()) << w->metaObject()->className() << " let " << handled.front()
                                     << " through";
        handled.clear();
    }
    EXPECT_TRUE(field->text().contains(QLatin1Char('m')));

    // With the focus on the window's own area the handler gets them; a key it
    // does not use goes on as usual.
    window.contentView()->setFocus();
    QTest::keyClick(window.contentView(), Qt::Key_Space);
    QTest::keyClick(window.contentView(), Qt::Key_A);
    EXPECT_EQ(handled, (std::vector<int>{Qt::Key_Space, Qt::Key_A}));
    EXPECT_FALSE(MainWindow::keepsKeys(window.contentView()));
    EXPECT_TRUE(MainWindow::keepsKeys(field));
}
