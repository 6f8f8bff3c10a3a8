// What the main window decides: which right each command needs, the texts of the about box,
// where the background picture and the help files are, and which desktop programs stand in
// for the text editor and the calculator.
#pragma once

#include "data/LoginState.h"

#include <QList>
#include <QRect>
#include <QString>
#include <QStringList>

namespace MainRules {
// The right without which a command's entry and button are disabled when the window is
// shown (every entry of the settings menu needs qxsysset); nullptr when none is needed.
bool Rights::*disablingRight(const QString& command);
// The right tested when the command is chosen; nullptr when none.
bool Rights::*testedRight(const QString& command);
inline const QString kNoRight = QStringLiteral("没有权限!");

// Whether the entry of a command can be used: its screen exists and the operator holds the
// right it needs.
bool commandEnabled(const QString& command, const Rights& rights, bool hasScreen);

// The backup of the database is a file copy for kind "a"; a server database refuses it.
bool backupRefused(const QString& kind);
inline const QString kServerBackup = QStringLiteral("请使用sqlserver企业管理器备份!");

inline const QString kExitQuestion = QStringLiteral("确认要退出吗?");
inline const QString kExitCaption = QStringLiteral("请确认");

// "当前数据库是PostgreSQL" for "s", "当前数据库是:Access" for "a", empty for any other kind.
QString databaseLine(const QString& kind);
// The lines of the about box: softname, Memo, tel, web, company and the database line
// (left out when empty).
QStringList aboutLines(const LoginState& state);

// The background pictures, tried in this order in the working directory; a later one that
// loads replaces an earlier one.
QStringList backgroundPictures();
// The picture area: under the tool bar, the full client width, the client height less the
// tool bar, the status bar and 55 pixels.
QRect pictureArea(int clientWidth, int clientHeight, int toolBarHeight, int statusBarHeight);

// The help files, each opened with the desktop when it exists in the working directory.
QStringList helpFiles();
// The operators' guide beside the program: guide/index.html in the program's folder, or in
// share/doc/tushu beside its bin folder when installed; empty when there is none.
QString guideIndex(const QString& programFolder);

// Desktop programs tried in order until one starts. wantsFile: the program is given a new
// empty text file to open.
struct Program
{
    QString name;
    bool wantsFile = false;
};
QList<Program> textEditors();
QList<Program> calculators();
} // namespace MainRules
