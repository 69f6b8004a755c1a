// Test entry point for widget tests: a QApplication for the real widgets.
// The test registration sets QT_QPA_PLATFORM=offscreen.
#include <QApplication>
#include <cstring>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    bool listing = false;
    for (int i = 1; i < argc; ++i)
        listing = listing || std::strcmp(argv[i], "--gtest_list_tests") == 0;
    ::testing::InitGoogleTest(&argc, argv);
    if (listing)
        return RUN_ALL_TESTS();  // test discovery needs no display
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
