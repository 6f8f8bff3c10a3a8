// The one login state of a run: values read from de.ini at start, the library settings
// read from 系统设置 at login, the operator and the rights.
#pragma once

#include "Money.h"

#include <QString>

struct Rights
{
    bool qxadmin = false;
    bool qxdel = false;
    bool qxbk = false;
    bool qxrd = false;
    bool qxqk = false;
    bool qxbkxg = false;
    bool qxrdxg = false;
    bool qxqkxg = false;
    bool qxborrow = false;
    bool qxreturn = false;
    bool qxsysset = false;
    bool qxadddata = false;
    bool qxModifyStock = false;
};

// The eleven columns of 系统设置 that the login copies.
struct LibrarySettings
{
    bool 启用租金功能 = false;
    bool 启用读者租金 = false;
    bool 启用读者有效期 = false;
    bool 启用超期罚金 = false;
    bool 借阅数量限制功能 = false;
    QString 图书馆名;
    Money 超期每日罚金;
    Money 开户费;
    bool 显示班级 = false;
    bool 显示院系 = false;
    bool 启用预定功能 = false;
};

class SettingsFile;

struct LoginState
{
    // From de.ini.
    QString DbKind;
    QString ConnectionString;
    QString softname;
    QString tel;
    QString company;
    QString Memo;
    QString web;
    QString PosPort;
    QString JieChuHouDaYin;
    QString WinA;
    QString BcCc;
    // The host of the online catalogue of the ISBN lookup (part1 CatalogueHost); it may
    // carry a scheme and a port ("http://127.0.0.1:8080").
    QString CatalogueHost;

    LibrarySettings settings;
    QString OperatorName;
    Rights rights;

    // Folder of de.ini and the working directory of book.mdb.
    QString programDir;

    // Reads the de.ini values in the order the start-up does: PosPort ("0" becomes "LPT1"),
    // JieChuHouDaYin, then WinA, softname, tel, company, Memo, web, BcCc, abc and csaccess;
    // with abc exactly "s", cs replaces csaccess as the connection string.
    void readSettingsFile(const SettingsFile& file);

    static LoginState& instance();
    // Back to the state before start (tests).
    static void reset();
};

inline constexpr const char* kSuperAdministrator = "超级管理员";
// The four-digit password of new operators and new readers.
inline constexpr const char* kDefaultPassword = "1234";
