// OLE DB style connection strings: "Key=Value;Key=\"quoted;value\";..." with keys matched
// without regard to case.
#pragma once

#include <QList>
#include <QPair>
#include <QString>

class ConnectionString
{
public:
    explicit ConnectionString(const QString& text);

    QString value(const QString& key, const QString& defaultValue = {}) const;
    bool has(const QString& key) const;

    // The built-in Access string the shared connection holds until de.ini has been read.
    static QString builtInAccess();

private:
    QList<QPair<QString, QString>> pairs_;
};
