#include <windows.h>

#include <objbase.h>

#include <gmock/gmock.h>

int main(int argc, char** argv) {
    // Automation calls are made from a single-threaded apartment, as the window's are.
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        return 2;
    }
    testing::InitGoogleMock(&argc, argv);
    const int result = RUN_ALL_TESTS();
    CoUninitialize();
    return result;
}
