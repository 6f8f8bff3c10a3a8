// One test program per area: each test class registers itself with TUSHU_TEST(Class) and
// the shared main runs them all, adding up the failures.
#pragma once

#include <QObject>
#include <functional>
#include <vector>

namespace TestRegistry {
using Factory = std::function<QObject*()>;
int add(const char* name, Factory factory);
int runAll(int argc, char** argv);
} // namespace TestRegistry

#define TUSHU_TEST(Class)                                                                          \
    static const int tushuTestRegistered_##Class =                                                 \
        TestRegistry::add(#Class, [] { return static_cast<QObject*>(new Class); });
