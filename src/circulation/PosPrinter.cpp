#include "PosPrinter.h"

#include "data/TextCodec.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QRegularExpression>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

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
int gWriteTimeoutMs = 5000;

qint64 steadyMs()
{
    return QDeadlineTimer::current().deadline();
}

QString systemError(int error)
{
    return qt_error_string(error);
}

QString timeoutText(const QString& portName)
{
    return QStringLiteral("小票打印机端口 %1 在 %2 秒内没有接收数据,小票没有打印.")
        .arg(portName)
        .arg(gWriteTimeoutMs / 1000.0);
}

// Opens the port for writing. A device must already exist (never create a plain file in
// /dev) and is opened without blocking, so neither a FIFO without reader nor a serial line
// without carrier can hold the desk; any other name is created or truncated.
int openPort(const QString& portName, QString* error)
{
    if (portName.trimmed().isEmpty()) {
        *error = QStringLiteral("没有打印机端口.");
        return -1;
    }
    const QByteArray path = QFile::encodeName(PosPrinter::devicePath(portName));
    struct stat st
    {
    };
    const bool exists = ::stat(path.constData(), &st) == 0;
    const bool device =
        PosPrinter::isDeviceName(portName) ||
        (exists && (S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)));
    int flags = O_WRONLY | O_CLOEXEC;
    flags |= device ? (O_NONBLOCK | O_NOCTTY) : (O_CREAT | O_TRUNC);
    int fd;
    do
        fd = ::open(path.constData(), flags, 0644);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        *error = systemError(errno);
    return fd;
}

enum class WriteResult
{
    Done,
    Failed,
    TimedOut,
};

// Writes every byte before the deadline, waiting for the port between partial writes.
WriteResult writeAll(int fd, const QByteArray& bytes, qint64 deadline, QString* error)
{
    const char* p = bytes.constData();
    qint64 left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n > 0) {
            p += n;
            left -= n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            *error = systemError(errno);
            return WriteResult::Failed;
        }
        const qint64 wait = deadline - steadyMs();
        if (wait <= 0)
            return WriteResult::TimedOut;
        pollfd pfd{fd, POLLOUT, 0};
        const int ready = ::poll(&pfd, 1, int(qMin<qint64>(wait, 1000)));
        if (ready < 0 && errno != EINTR) {
            *error = systemError(errno);
            return WriteResult::Failed;
        }
        if (ready > 0 && (pfd.revents & (POLLERR | POLLHUP | POLLNVAL))) {
            *error = QStringLiteral("打印机端口已断开.");
            return WriteResult::Failed;
        }
    }
    return WriteResult::Done;
}

// A serial line keeps written bytes in its queue, and closing it waits until they are
// sent: wait for the queue to empty before the deadline, else drop it so close() returns.
WriteResult drainTerminal(int fd, qint64 deadline)
{
    if (!::isatty(fd))
        return WriteResult::Done;
    for (;;) {
        int pending = 0;
        if (::ioctl(fd, TIOCOUTQ, &pending) != 0 || pending == 0)
            return WriteResult::Done;
        if (steadyMs() >= deadline) {
            ::tcflush(fd, TCOFLUSH);
            return WriteResult::TimedOut;
        }
        ::usleep(10000);
    }
}

void closeFd(int fd)
{
    if (fd >= 0)
        ::close(fd);
}
} // namespace

int PosPrinter::writeTimeoutMs()
{
    return gWriteTimeoutMs;
}

void PosPrinter::setWriteTimeoutMs(int ms)
{
    gWriteTimeoutMs = ms;
}

bool PosPrinter::writeTo(const QString& portName, const QByteArray& bytes, QString* error)
{
    QString reason;
    const qint64 deadline = steadyMs() + gWriteTimeoutMs;
    const int fd = openPort(portName, &reason);
    WriteResult result = WriteResult::Failed;
    if (fd >= 0) {
        result = writeAll(fd, bytes, deadline, &reason);
        if (result == WriteResult::Done)
            result = drainTerminal(fd, deadline);
        if (result == WriteResult::TimedOut)
            reason = timeoutText(portName);
        if (::close(fd) != 0 && result == WriteResult::Done) {
            reason = systemError(errno);
            result = WriteResult::Failed;
        }
    }
    if (error)
        *error = reason;
    return result == WriteResult::Done;
}

PosPrinter::PosPrinter(QString portName) : portName_(std::move(portName)) {}

PosPrinter::~PosPrinter()
{
    closePort();
}

void PosPrinter::closePort()
{
    closeFd(fd_);
    fd_ = -1;
}

bool PosPrinter::write(const QByteArray& bytes)
{
    if (fd_ < 0)
        return false;
    QString ignored;
    const WriteResult result = writeAll(fd_, bytes, deadline_, &ignored);
    if (result == WriteResult::TimedOut) {
        // The receipt is given up: the later steps do not wait again.
        timeoutError_ = timeoutText(portName_);
        if (::isatty(fd_))
            ::tcflush(fd_, TCOFLUSH);
        closePort();
    }
    return result == WriteResult::Done;
}

bool PosPrinter::begin(const QString& libraryName)
{
    closePort();
    timeoutError_.clear();
    deadline_ = steadyMs() + gWriteTimeoutMs;
    QString ignored;
    fd_ = openPort(portName_, &ignored);
    return write(receiptHeader(libraryName));
}

bool PosPrinter::item(int position, const QString& title)
{
    return write(receiptItem(position, title));
}

bool PosPrinter::end(const QDateTime& moment, const QString& operatorName)
{
    bool ok = write(receiptFooter(moment, operatorName));
    if (ok && fd_ >= 0 && drainTerminal(fd_, deadline_) == WriteResult::TimedOut) {
        timeoutError_ = timeoutText(portName_);
        ok = false;
    }
    closePort();
    return ok;
}

bool PosPrinter::printReceipt(const QString& portName, const QString& libraryName,
                              const QStringList& titles, const QDateTime& moment,
                              const QString& operatorName, QString* timeoutError)
{
    PosPrinter printer(portName);
    bool ok = printer.begin(libraryName);
    for (int i = 0; i < titles.size(); ++i)
        ok = printer.item(i + 1, titles.at(i)) && ok;
    ok = printer.end(moment, operatorName) && ok;
    if (timeoutError)
        *timeoutError = printer.timeoutError();
    return ok;
}
