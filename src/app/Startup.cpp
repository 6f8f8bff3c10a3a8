#include "Startup.h"

#include "BackupCommand.h"
#include "CommandOutput.h"
#include "DemoHistory.h"
#include "ExportCommand.h"
#include "JobCommands.h"
#include "LoginRules.h"
#include "LoginUt.h"
#include "MainUt.h"
#include "ProgramSetup.h"
#include "catalogue/BookImport.h"
#include "data/LibraryInit.h"
#include "data/LoginState.h"
#include "data/SettingsFile.h"
#include "readers/ReaderImport.h"
#include "widgets/Messenger.h"
#include "widgets/ScreenRegistry.h"
#include "widgets/Translations.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <cstdio>

namespace {
const QString kTitle = QStringLiteral("图书管理系统");

const char* const kUsage =
    "用法:\n"
    "  tushu [--dir DIR]\n"
    "      打开图书馆: DIR 中的 de.ini 和 book.mdb (没有 --dir 时: 程序旁的 de.ini,\n"
    "      当前文件夹中的 book.mdb).\n"
    "  tushu --init DIR [--demo] [--server 连接字符串]\n"
    "      在 DIR 中新建图书馆; --demo 带示例数据, --server 建在 PostgreSQL 数据库服务器上.\n"
    "  tushu --dir DIR --export 表名 文件.xlsx\n"
    "      把数据库中一个表的所有列导出到 Excel 文件.\n"
    "  tushu --dir DIR --backup 文件夹\n"
    "      把数据库备份到文件夹中.\n"
    "  tushu --dir DIR --import-books 文件\n"
    "      从 Excel 文件 (.xlsx, .xls 或 .csv) 导入图书, 和Excel导入界面一样.\n"
    "  tushu --dir DIR --import-readers 文件\n"
    "      从 Excel 文件 (.xlsx, .xls 或 .csv) 导入读者, 和读者资料Excel导入界面一样.\n"
    "  tushu --dir DIR --import-marc 文件\n"
    "      从 MARC 文件 (ISO 2709 或 MARCXML, CNMARC 或 MARC21) 导入图书, 和MARC数据导入界面\n"
    "      一样; 编号取馆藏字段中的条形码, 记录未注明编码时按 GBK 读.\n"
    "  tushu --dir DIR --overdue 文件.xlsx\n"
    "      把逾期未还记录 (今天及以前应还而未还的借阅) 导出到 Excel 文件.\n"
    "  tushu --help\n"
    "      显示本说明.\n"
    "\n"
    "--import-books、--import-readers、--import-marc 和 --overdue 成功时不输出任何内容.\n"
    "失败时都在标准错误输出中说明原因; 导入失败的行逐行列出: 行 N: 原因 (N 是 Excel 的行号);\n"
    "导入失败的 MARC 记录列为: 记录 N: 原因 (N 是记录在文件中的序号).\n"
    "退出码: 0 完成; 1 失败, 什么也没有做; 2 命令行参数有误;\n"
    "        3 导入时有些行失败 (已列出), 其余的行已经导入.\n";

using CommandOutput::line;

// The jobs that run on the library of --dir without the window; one at a time.
struct Job
{
    const char* option;
    QString Startup::Options::*value; // non-empty when the job is asked for
    int (*run)(const Startup::Options&);
};

const Job kJobs[] = {
    {"--export", &Startup::Options::exportTable,
     [](const Startup::Options& o) {
         return runExportCommand(o.dir, o.exportTable, o.exportFile);
     }},
    {"--backup", &Startup::Options::backupFolder,
     [](const Startup::Options& o) { return runBackupCommand(o.dir, o.backupFolder); }},
    {"--import-books", &Startup::Options::importBooksFile,
     [](const Startup::Options& o) {
         return runImportCommand(o.dir, o.importBooksFile, BookImport::layout());
     }},
    {"--import-readers", &Startup::Options::importReadersFile,
     [](const Startup::Options& o) {
         return runImportCommand(o.dir, o.importReadersFile, ReaderImport::layout());
     }},
    {"--import-marc", &Startup::Options::importMarcFile,
     [](const Startup::Options& o) { return runMarcImportCommand(o.dir, o.importMarcFile); }},
    {"--overdue", &Startup::Options::overdueFile,
     [](const Startup::Options& o) { return runOverdueCommand(o.dir, o.overdueFile); }},
};

const Job* findJob(const QString& option)
{
    for (const Job& job : kJobs)
        if (option == QLatin1String(job.option))
            return &job;
    return nullptr;
}

QStringList jobsAskedFor(const Startup::Options& o)
{
    QStringList asked;
    for (const Job& job : kJobs)
        if (!(o.*job.value).isEmpty())
            asked << QLatin1String(job.option);
    return asked;
}

void setApplicationNames()
{
    QCoreApplication::setApplicationName(kTitle);
    QGuiApplication::setApplicationDisplayName(kTitle);
}

int initLibrary(int argc, char** argv, const Startup::Options& o)
{
    QCoreApplication app(argc, argv);
    setApplicationNames();
    QString error;
    if (!LibraryInit::create(o.initDir, o.demo, o.server, &error, DemoHistory::add)) {
        line(stderr, error);
        return 1;
    }
    const QString where = QDir::toNativeSeparators(QDir(o.initDir).absolutePath());
    line(stdout, o.server.isEmpty()
                     ? QStringLiteral("已创建图书馆 %1 (book.mdb, de.ini)").arg(where)
                     : QStringLiteral("已在数据库服务器上创建图书馆, de.ini 在 %1").arg(where));
    return 0;
}

int runJob(int argc, char** argv, const Startup::Options& o, const Job& job)
{
    QCoreApplication app(argc, argv);
    setApplicationNames();
    return job.run(o);
}

int runProgram(int argc, char** argv, const Startup::Options& o)
{
    QApplication app(argc, argv);
    setApplicationNames();
    ProgramSetup::loadChineseFont();
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

    ProgramSetup::registerAllScreens();

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
        // An empty value (a variable a scheduled job left unset) would read as an option
        // not given and start the window instead of the job.
        if (args[i + 1].trimmed().isEmpty()) {
            o.error = QStringLiteral("%1 的参数是空的.").arg(option);
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
        } else if (a == QLatin1String("--help")) {
            o.help = true;
        } else if (const Job* job = findJob(a)) {
            o.*job->value = value(i, a);
            if (job->value == &Options::exportTable && o.error.isEmpty())
                o.exportFile = value(i, a);
        } else if (a.startsWith(QLatin1String("-")) && !a.startsWith(QLatin1String("--"))) {
            // Qt's own options (-platform NAME, -reverse, ...) pass through to Qt.
            if (i + 1 < args.size() && !args[i + 1].startsWith(QLatin1Char('-')))
                ++i;
        } else {
            o.error = QStringLiteral("未知的参数: %1").arg(a);
        }
    }
    const QStringList jobs = jobsAskedFor(o);
    if (o.error.isEmpty()) {
        if (!o.initDir.isEmpty() && (!o.dir.isEmpty() || !jobs.isEmpty())) {
            QStringList others{QStringLiteral("--dir")};
            for (const Job& job : kJobs)
                others << QLatin1String(job.option);
            const QString last = others.takeLast();
            o.error = QStringLiteral("--init 不能和 %1 或 %2 一起使用.")
                          .arg(others.join(QStringLiteral("、")), last);
        } else if (!jobs.isEmpty() && o.dir.isEmpty()) {
            o.error = QStringLiteral("%1 需要 --dir.").arg(jobs.first());
        } else if (jobs.size() > 1) {
            o.error = QStringLiteral("%1 和 %2 不能一起使用.").arg(jobs[0], jobs[1]);
        } else if ((o.demo || !o.server.isEmpty()) && o.initDir.isEmpty()) {
            o.error = QStringLiteral("--demo 和 --server 只能和 --init 一起使用.");
        }
    }
    return o;
}

int Startup::main(int argc, char** argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const Options o = parseArguments(args);
    if (o.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (!o.error.isEmpty()) {
        line(stderr, o.error);
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (!o.initDir.isEmpty())
        return initLibrary(argc, argv, o);
    for (const Job& job : kJobs)
        if (!(o.*job.value).isEmpty())
            return runJob(argc, argv, o, job);
    return runProgram(argc, argv, o);
}

const char* Startup::usage()
{
    return kUsage;
}
