// The readers open files by name: each input is written to one file of this process first.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <cstdint>
#include <cstdlib>
#include <unistd.h>

namespace FuzzInput {
// The file holding the input, named with the given suffix (".xlsx", ".ini", ...).
inline QString asFile(const uint8_t* data, size_t size, const char* suffix)
{
    static const QString path = QDir::temp().absoluteFilePath(
        QStringLiteral("tushu-fuzz-%1%2").arg(getpid()).arg(QLatin1String(suffix)));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        f.write(reinterpret_cast<const char*>(data), qint64(size)) != qint64(size))
        std::abort(); // the fuzzer cannot go on without its file
    return path;
}
} // namespace FuzzInput
