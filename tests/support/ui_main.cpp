// Test entry point for widget tests: a QApplication for the real widgets.
// The test registration sets QT_QPA_PLATFORM=offscreen.
#include <QApplication>
#include <cstring>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--gtest_list_tests") == 0)
            return RUN_ALL_TESTS();  // test discovery needs no display
    }
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
