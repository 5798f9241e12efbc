#include <QCoreApplication>

#include <gmock/gmock.h>

// The model delivers background results through the application's event loop.
int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    testing::InitGoogleMock(&argc, argv);
    return RUN_ALL_TESTS();
}
