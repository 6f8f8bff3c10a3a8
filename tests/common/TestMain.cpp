#include "TestMain.h"

#include "widgets/Messenger.h"

#include <QApplication>
#include <QTest>
#include <memory>

namespace {
std::vector<std::pair<const char*, TestRegistry::Factory>>& registry()
{
    static std::vector<std::pair<const char*, TestRegistry::Factory>> r;
    return r;
}
} // namespace

int TestRegistry::add(const char* name, Factory factory)
{
    registry().emplace_back(name, std::move(factory));
    return int(registry().size());
}

int TestRegistry::runAll(int argc, char** argv)
{
    // A class name on the command line (first argument) runs that class alone; the rest
    // goes to QTest (test functions, -v2, ...).
    QString only;
    std::vector<char*> args(argv, argv + argc);
    if (argc > 1 && argv[1][0] != '-') {
        only = QString::fromLocal8Bit(argv[1]);
        args.erase(args.begin() + 1);
    }
    int failures = 0;
    for (auto& [name, factory] : registry()) {
        if (!only.isEmpty() && only != QLatin1String(name))
            continue;
        std::unique_ptr<QObject> test(factory());
        failures += QTest::qExec(test.get(), int(args.size()), args.data());
    }
    return failures == 0 ? 0 : 1;
}

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("tushu-tests"));
    return TestRegistry::runAll(argc, argv);
}
