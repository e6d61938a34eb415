#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <ctime>

// Local time is UTC in every test, so fixed time points read the same on every machine.
int main(int argc, char** argv) {
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    std::setlocale(LC_ALL, "C.UTF-8");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
