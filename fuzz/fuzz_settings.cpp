// The settings file de.ini on any bytes: GBK or UTF-8 text, sections and keys in any case.
// A read finds keys; a write keeps the other lines and reads back the value written.
#include "FuzzInput.h"
#include "data/SettingsFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const SettingsFile file(FuzzInput::asFile(data, size, ".ini"));
    const QString fallback = QStringLiteral("无");
    for (const char* key : {"abc", "csaccess", "cs", "softname"})
        file.read(QStringLiteral("part1"), QString::fromLatin1(key), fallback);
    SettingsFile writable(file.path());
    const QString value = QStringLiteral("图书 1");
    if (!writable.write(QStringLiteral("part1"), QStringLiteral("softname"), value))
        std::abort();
    if (writable.read(QStringLiteral("PART1"), QStringLiteral("SoftName"), fallback) != value)
        std::abort(); // the value written is the one read back
    return 0;
}
