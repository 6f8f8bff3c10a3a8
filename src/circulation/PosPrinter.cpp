#include "PosPrinter.h"

#include "data/TextCodec.h"

#include <QRegularExpression>

QStringList PosPrinter::portNames()
{
    QStringList names;
    for (int i = 1; i <= 3; ++i)
        names << QStringLiteral("LPT%1").arg(i);
    for (int i = 1; i <= 9; ++i)
        names << QStringLiteral("COM%1").arg(i);
    return names;
}

namespace {
// "LPT2" → ("LPT", 2); empty prefix when the name is not a port name.
std::pair<QString, int> splitPortName(const QString& portName)
{
    static const QRegularExpression re(QStringLiteral("^(LPT|COM)([1-9])$"),
                                       QRegularExpression::CaseInsensitiveOption);
    const auto m = re.match(portName.trimmed());
    if (!m.hasMatch())
        return {QString(), 0};
    const QString kind = m.captured(1).toUpper();
    const int n = m.captured(2).toInt();
    if (kind == QLatin1String("LPT") && n > 3)
        return {QString(), 0};
    return {kind, n};
}
} // namespace

bool PosPrinter::isDeviceName(const QString& portName)
{
    return !splitPortName(portName).first.isEmpty();
}

QString PosPrinter::devicePath(const QString& portName)
{
    const auto [kind, n] = splitPortName(portName);
    if (kind == QLatin1String("LPT"))
        return QStringLiteral("/dev/lp%1").arg(n - 1);
    if (kind == QLatin1String("COM"))
        return QStringLiteral("/dev/ttyS%1").arg(n - 1);
    return portName;
}

QByteArray PosPrinter::line(const QString& text)
{
    return TextCodec::toGbk(text) + QByteArrayLiteral("\r\n");
}

QByteArray PosPrinter::feedLine()
{
    return QByteArrayLiteral("\x0B\x1B\x4A\x8C\r\n");
}

QString PosPrinter::timeText(const QDateTime& moment)
{
    return moment.toString(QStringLiteral("yy-MM-dd hh:mm:ss"));
}

QByteArray PosPrinter::receiptHeader(const QString& libraryName)
{
    return line(QStringLiteral(" ")) + line(libraryName);
}

QByteArray PosPrinter::receiptItem(int position, const QString& title)
{
    return line(QString::number(position) + QLatin1Char(':') + title);
}

QByteArray PosPrinter::receiptFooter(const QDateTime& moment, const QString& operatorName)
{
    return line(QStringLiteral("打印时间:") + timeText(moment)) +
           line(QStringLiteral("管理员: ") + operatorName) + feedLine();
}

QByteArray PosPrinter::receipt(const QString& libraryName, const QStringList& titles,
                               const QDateTime& moment, const QString& operatorName)
{
    QByteArray bytes = receiptHeader(libraryName);
    for (int i = 0; i < titles.size(); ++i)
        bytes += receiptItem(i + 1, titles.at(i));
    return bytes + receiptFooter(moment, operatorName);
}

QByteArray PosPrinter::testPage(const QString& softname, const QString& operatorName,
                                const QDateTime& moment, const QString& testText)
{
    return line(QStringLiteral(" ")) + line(QStringLiteral(" [打印开始]")) +
           line(QStringLiteral("[ ") + softname + QStringLiteral(" ]")) +
           line(QStringLiteral("管理员: ") + operatorName) +
           line(QStringLiteral("打印时间:") + timeText(moment)) + line(testText) +
           line(QStringLiteral("    打印结束-打印成功 ")) + feedLine();
}

namespace {
// Opens the port for writing: a device must already exist (never create a plain file in
// /dev); any other name is created or truncated.
std::unique_ptr<QFile> openPort(const QString& portName, QString* error)
{
    auto file = std::make_unique<QFile>(PosPrinter::devicePath(portName));
    QIODevice::OpenMode mode = QIODevice::WriteOnly;
    if (PosPrinter::isDeviceName(portName))
        mode |= QIODevice::ExistingOnly;
    else
        mode |= QIODevice::Truncate;
    if (portName.trimmed().isEmpty() || !file->open(mode)) {
        if (error)
            *error = file->errorString();
        return nullptr;
    }
    return file;
}

bool writeBytes(QFile& file, const QByteArray& bytes, QString* error)
{
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}
} // namespace

bool PosPrinter::writeTo(const QString& portName, const QByteArray& bytes, QString* error)
{
    std::unique_ptr<QFile> file = openPort(portName, error);
    if (!file)
        return false;
    const bool ok = writeBytes(*file, bytes, error);
    file->close();
    return ok;
}

PosPrinter::PosPrinter(QString portName) : portName_(std::move(portName)) {}

PosPrinter::~PosPrinter() = default;

bool PosPrinter::write(const QByteArray& bytes)
{
    return file_ && writeBytes(*file_, bytes, nullptr);
}

bool PosPrinter::begin(const QString& libraryName)
{
    file_ = openPort(portName_, nullptr);
    return write(receiptHeader(libraryName));
}

bool PosPrinter::item(int position, const QString& title)
{
    return write(receiptItem(position, title));
}

bool PosPrinter::end(const QDateTime& moment, const QString& operatorName)
{
    const bool ok = write(receiptFooter(moment, operatorName));
    if (file_)
        file_->close();
    file_.reset();
    return ok;
}

bool PosPrinter::printReceipt(const QString& portName, const QString& libraryName,
                              const QStringList& titles, const QDateTime& moment,
                              const QString& operatorName)
{
    PosPrinter printer(portName);
    bool ok = printer.begin(libraryName);
    for (int i = 0; i < titles.size(); ++i)
        ok = printer.item(i + 1, titles.at(i)) && ok;
    return printer.end(moment, operatorName) && ok;
}
