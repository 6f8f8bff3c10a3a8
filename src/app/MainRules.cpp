#include "MainRules.h"

#include "widgets/Commands.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

bool Rights::*MainRules::disablingRight(const QString& command)
{
    using namespace Command;
    if (command == Borrow || command == Renew)
        return &Rights::qxborrow;
    if (command == Return)
        return &Rights::qxreturn;
    if (command == AddBook || command == AddReader || command == AddPeriodical)
        return &Rights::qxadddata;
    if (command == BookManagement)
        return &Rights::qxbk;
    if (command == ReaderManagement)
        return &Rights::qxrd;
    if (command == PeriodicalManagement)
        return &Rights::qxqk;
    static const QStringList settingsMenu = {AdminAccounts,    Command::LibrarySettings,
                                             Initialise,       Backup,
                                             DatabaseSettings, ReaderCategories,
                                             ItemLevels,       Categories,
                                             SecondCategories, Publishers,
                                             Departments,      Places,
                                             Papers,           SecretLevels,
                                             Currencies};
    if (settingsMenu.contains(command))
        return &Rights::qxsysset;
    return nullptr;
}

bool Rights::*MainRules::testedRight(const QString& command)
{
    if (command == Command::AdminAccounts || command == Command::AdminLog)
        return &Rights::qxadmin;
    return nullptr;
}

bool MainRules::commandEnabled(const QString& command, const Rights& rights, bool hasScreen)
{
    bool Rights::*right = disablingRight(command);
    return hasScreen && (!right || rights.*right);
}

bool MainRules::backupRefused(const QString& kind)
{
    return kind == QLatin1String("s");
}

QString MainRules::databaseLine(const QString& kind)
{
    if (kind == QLatin1String("s"))
        return QStringLiteral("当前数据库是PostgreSQL");
    if (kind == QLatin1String("a"))
        return QStringLiteral("当前数据库是:Access");
    return {};
}

QStringList MainRules::aboutLines(const LoginState& state)
{
    QStringList lines = {state.softname, state.Memo, state.tel, state.web, state.company};
    const QString db = databaseLine(state.DbKind);
    if (!db.isEmpty())
        lines << db;
    return lines;
}

QStringList MainRules::backgroundPictures()
{
    return {QStringLiteral("beijing.gif"), QStringLiteral("beijing.jpg")};
}

QRect MainRules::pictureArea(int clientWidth, int clientHeight, int toolBarHeight,
                             int statusBarHeight)
{
    return QRect(0, 0, std::max(0, clientWidth),
                 std::max(0, clientHeight - toolBarHeight - statusBarHeight - 55));
}

QStringList MainRules::helpFiles()
{
    return {QStringLiteral("help.chm"), QStringLiteral("帮助.doc")};
}

QString MainRules::guideIndex(const QString& programFolder)
{
    const QDir dir(programFolder);
    for (const QString& place :
         {QStringLiteral("guide"), QStringLiteral("../share/doc/tushu/guide")}) {
        const QString index = dir.absoluteFilePath(place + QStringLiteral("/index.html"));
        if (QFileInfo::exists(index))
            return QDir::cleanPath(index);
    }
    return {};
}

QList<MainRules::Program> MainRules::textEditors()
{
    return {{QStringLiteral("gnome-text-editor")},
            {QStringLiteral("gedit")},
            {QStringLiteral("mousepad")},
            {QStringLiteral("kate")},
            {QStringLiteral("pluma")},
            {QStringLiteral("xed")},
            {QStringLiteral("xdg-open"), true}};
}

QList<MainRules::Program> MainRules::calculators()
{
    return {{QStringLiteral("gnome-calculator")},
            {QStringLiteral("galculator")},
            {QStringLiteral("kcalc")},
            {QStringLiteral("mate-calc")},
            {QStringLiteral("xcalc")}};
}
