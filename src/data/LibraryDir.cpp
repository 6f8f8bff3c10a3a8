#include "LibraryDir.h"

#include "SettingsFile.h"

#include <QDir>
#include <QFileInfo>
#include <QUuid>

LibraryDir::LibraryDir(const QString& dir)
    : dir_(QDir(dir).absolutePath()),
      db_(QStringLiteral("tushu-command-") + QUuid::createUuid().toString(QUuid::Id128))
{
}

bool LibraryDir::readSettings()
{
    const QString ini = QDir(dir_).absoluteFilePath(QStringLiteral("de.ini"));
    if (!QFileInfo::exists(ini)) {
        error_ = QStringLiteral("找不到设置文件 %1。").arg(QDir::toNativeSeparators(ini));
        return false;
    }
    state_.readSettingsFile(SettingsFile(ini));
    settingsRead_ = true;
    return true;
}

bool LibraryDir::open()
{
    if (!settingsRead_ && !readSettings())
        return false;
    return db_.open(state_.DbKind, state_.ConnectionString, &error_, dir_);
}
