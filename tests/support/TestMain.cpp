// The main of every test program: an application for widgets, clipboard and
// events, on the offscreen platform unless a platform or a display is named.
// The window's tests run under the program's own application object, so what
// it does with an event that throws is what they see.

#include <gtest/gtest.h>

#ifdef VEL_TEST_WITH_TAPPLICATION
#include "ui/TApplication.h"
using TestApplication = TApplication;
#else
#include <QApplication>
using TestApplication = QApplication;
#endif

#include <cstdlib>

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::testing::InitGoogleTest(&argc, argv);
    TestApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
