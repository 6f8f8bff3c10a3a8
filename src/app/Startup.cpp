#include "Startup.h"

#include "BackupCommand.h"
#include "ExportCommand.h"
#include "LoginRules.h"
#include "LoginUt.h"
#include "MainUt.h"
#include "data/LibraryInit.h"
#include "data/LoginState.h"
#include "data/SettingsFile.h"
#include "widgets/Messenger.h"
#include "widgets/ScreenRegistry.h"
#include "widgets/Translations.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>
#include <cstdio>

namespace {
const QString kTitle = QStringLiteral("图书管理系统");

const char* kUsage = "用法:\n"
                     "  tushu [--dir DIR]\n"
                     "  tushu --init DIR [--demo] [--server CONNECTION-STRING]\n"
                     "  tushu --dir DIR --export TABLE FILE.xlsx\n"
                     "  tushu --dir DIR --backup FOLDER\n";

void printLine(FILE* to, const QString& text)
{
    std::fprintf(to, "%s\n", text.toLocal8Bit().constData());
}

void setApplicationNames()
{
    QCoreApplication::setApplicationName(kTitle);
    QGuiApplication::setApplicationDisplayName(kTitle);
}

// Off screen there is no desktop font configuration to fall back on for Chinese glyphs.
void loadChineseFont()
{
    const QString platform = QGuiApplication::platformName();
    if (platform != QLatin1String("offscreen") && platform != QLatin1String("minimal"))
        return;
    const int id = QFontDatabase::addApplicationFont(
        QStringLiteral("/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"));
    const QStringList families = QFontDatabase::applicationFontFamilies(id);
    if (!families.isEmpty()) {
        QFont font(families.first());
        font.setPointSize(QApplication::font().pointSize());
        QApplication::setFont(font);
    }
}

void registerAllScreens()
{
    registerAppScreens();
    registerCirculationScreens();
    registerCatalogueScreens();
    registerReaderScreens();
    registerDictionaryScreens();
    registerStatisticsScreens();
    registerMaintenanceScreens();
}

int initLibrary(int argc, char** argv, const Startup::Options& o)
{
    QCoreApplication app(argc, argv);
    setApplicationNames();
    QString error;
    if (!LibraryInit::create(o.initDir, o.demo, o.server, &error)) {
        printLine(stderr, error);
        return 1;
    }
    const QString where = QDir::toNativeSeparators(QDir(o.initDir).absolutePath());
    printLine(stdout,
              o.server.isEmpty()
                  ? QStringLiteral("已创建图书馆 %1 (book.mdb, de.ini)").arg(where)
                  : QStringLiteral("已在数据库服务器上创建图书馆, de.ini 在 %1").arg(where));
    return 0;
}

int exportTable(int argc, char** argv, const Startup::Options& o)
{
    QCoreApplication app(argc, argv);
    setApplicationNames();
    return runExportCommand(o.dir, o.exportTable, o.exportFile);
}

int backupLibrary(int argc, char** argv, const Startup::Options& o)
{
    QCoreApplication app(argc, argv);
    setApplicationNames();
    return runBackupCommand(o.dir, o.backupFolder);
}

int runProgram(int argc, char** argv, const Startup::Options& o)
{
    QApplication app(argc, argv);
    setApplicationNames();
    loadChineseFont();
    installChineseTranslations();

    LoginState& state = LoginState::instance();
    if (!o.dir.isEmpty()) {
        const QDir dir(o.dir);
        if (!dir.exists() || !QDir::setCurrent(dir.absolutePath())) {
            Messenger::instance().error(
                nullptr, QStringLiteral("文件夹 %1 不存在.").arg(QDir::toNativeSeparators(o.dir)));
            return 1;
        }
        state.programDir = dir.absolutePath();
    } else {
        state.programDir = QCoreApplication::applicationDirPath();
    }

    state.readSettingsFile(SettingsFile(LoginRules::settingsFilePath(state)));
    const QString missing = LoginRules::missingLibraryMessage(state, QDir::currentPath());
    if (!missing.isEmpty()) {
        Messenger::instance().error(nullptr, missing);
        return 1;
    }

    registerAllScreens();

    TLoginFm login;
    if (login.exec() != QDialog::Accepted)
        return 0;

    TMainFm mainWindow;
    mainWindow.showMaximized();
    return app.exec();
}
} // namespace

Startup::Options Startup::parseArguments(const QStringList& args)
{
    Options o;
    auto value = [&](qsizetype& i, const QString& option) {
        if (i + 1 >= args.size() || args[i + 1].startsWith(QLatin1String("--"))) {
            o.error = QStringLiteral("%1 需要一个参数.").arg(option);
            return QString();
        }
        return args[++i];
    };
    for (qsizetype i = 0; i < args.size() && o.error.isEmpty(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--dir")) {
            o.dir = value(i, a);
        } else if (a == QLatin1String("--init")) {
            o.initDir = value(i, a);
        } else if (a == QLatin1String("--demo")) {
            o.demo = true;
        } else if (a == QLatin1String("--server")) {
            o.server = value(i, a);
        } else if (a == QLatin1String("--export")) {
            o.exportTable = value(i, a);
            if (o.error.isEmpty())
                o.exportFile = value(i, a);
        } else if (a == QLatin1String("--backup")) {
            o.backupFolder = value(i, a);
        } else if (a.startsWith(QLatin1String("-")) && !a.startsWith(QLatin1String("--"))) {
            // Qt's own options (-platform NAME, -reverse, ...) pass through to Qt.
            if (i + 1 < args.size() && !args[i + 1].startsWith(QLatin1Char('-')))
                ++i;
        } else {
            o.error = QStringLiteral("未知的参数: %1").arg(a);
        }
    }
    if (o.error.isEmpty()) {
        if (!o.initDir.isEmpty() &&
            (!o.dir.isEmpty() || !o.exportTable.isEmpty() || !o.backupFolder.isEmpty()))
            o.error = QStringLiteral("--init 不能和 --dir、--export 或 --backup 一起使用.");
        else if (!o.exportTable.isEmpty() && o.dir.isEmpty())
            o.error = QStringLiteral("--export 需要 --dir.");
        else if (!o.backupFolder.isEmpty() && o.dir.isEmpty())
            o.error = QStringLiteral("--backup 需要 --dir.");
        else if (!o.backupFolder.isEmpty() && !o.exportTable.isEmpty())
            o.error = QStringLiteral("--export 和 --backup 不能一起使用.");
        else if ((o.demo || !o.server.isEmpty()) && o.initDir.isEmpty())
            o.error = QStringLiteral("--demo 和 --server 只能和 --init 一起使用.");
    }
    return o;
}

int Startup::main(int argc, char** argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const Options o = parseArguments(args);
    if (!o.error.isEmpty()) {
        printLine(stderr, o.error);
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (!o.initDir.isEmpty())
        return initLibrary(argc, argv, o);
    if (!o.exportTable.isEmpty())
        return exportTable(argc, argv, o);
    if (!o.backupFolder.isEmpty())
        return backupLibrary(argc, argv, o);
    return runProgram(argc, argv, o);
}
