#include <gtest/gtest.h>

#ifdef TRESSEL_TEST_QT_APP
#include <QApplication>
#endif

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
#ifdef TRESSEL_TEST_QT_APP
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
#endif
    return RUN_ALL_TESTS();
}
