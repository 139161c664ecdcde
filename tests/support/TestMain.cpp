// The entry point of every test program: a Qt application object for the code that needs an
// event loop, and a private temporary home for everything the tests write.
#include "support/TestHome.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    quillmark::test::createTestHome();
    QCoreApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
