// The local settings file de.ini: Windows profile text in GBK (UTF-8 accepted when the file
// starts with a byte-order mark or its content can only be UTF-8), sections and keys matched
// without regard to case. A write keeps the file's encoding: a GBK file is never rewritten
// as UTF-8. Every write reaches the file at once, atomically; the file keeps mode 0600
// because it may hold a password.
#pragma once

#include <QString>
#include <QStringList>

class SettingsFile
{
public:
    explicit SettingsFile(QString path);

    const QString& path() const { return path_; }

    // The text of the key, or defaultValue when the file, section or key is missing.
    QString read(const QString& section, const QString& key, const QString& defaultValue) const;

    // Stores the value, creating file, section or key as needed. Returns false and fills
    // *error when the file cannot be written; the file then keeps its old content.
    bool write(const QString& section, const QString& key, const QString& value,
               QString* error = nullptr);

    // A switch is on only when its text is exactly "1".
    bool isOn(const QString& section, const QString& key) const
    {
        return read(section, key, QStringLiteral("0")) == QLatin1String("1");
    }

private:
    QStringList loadLines(bool* wasUtf8 = nullptr, bool* hadBom = nullptr) const;

    QString path_;
};
