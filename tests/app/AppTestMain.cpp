// The entry point of the window tests. Widgets need a QApplication, and the tests run without
// a display on Qt's offscreen platform. Linked in place of the support library's main.
#include "support/TestHome.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    quillmark::test::createTestHome();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    testing::InitGoogleTest(&argc, argv);
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
