// The receipt printer: the byte stream of a lending receipt and of the test page, and the
// port it is written to. Every line is the GBK form of its text followed by CR LF; the last
// line of every receipt is the feed sequence 0B 1B 4A 8C (vertical tab, ESC J 140).
//
// Port names: LPT1..LPT3 map to /dev/lp0..2, COM1..COM9 to /dev/ttyS0..8 (these must exist);
// any other name is opened as typed, so a plain file receives the exact stream.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

class PosPrinter
{
public:
    // The twelve port names offered by the settings screen.
    static QStringList portNames();
    // The device path a port name is opened as.
    static QString devicePath(const QString& portName);
    // True when the name maps to a device (LPT/COM), which is never created.
    static bool isDeviceName(const QString& portName);

    // One line: GBK bytes of text + 0D 0A.
    static QByteArray line(const QString& text);
    // The feed line: 0B 1B 4A 8C 0D 0A.
    static QByteArray feedLine();
    // "yy-MM-dd hh:mm:ss".
    static QString timeText(const QDateTime& moment);

    // The parts of a lending receipt.
    static QByteArray receiptHeader(const QString& libraryName);       // lines 1 and 2
    static QByteArray receiptItem(int position, const QString& title); // "1:三国"
    static QByteArray receiptFooter(const QDateTime& moment, const QString& operatorName);
    // The whole receipt of a loan of the given titles, in list order.
    static QByteArray receipt(const QString& libraryName, const QStringList& titles,
                              const QDateTime& moment, const QString& operatorName);
    // The test page.
    static QByteArray testPage(const QString& softname, const QString& operatorName,
                               const QDateTime& moment, const QString& testText);

    // Writes the bytes to the port in one open/write/close. False with *error on failure.
    // Device ports (LPT/COM names, or any FIFO or device file) are opened without blocking
    // and given up after writeTimeoutMs(): a printer that is off or jammed never freezes
    // the desk.
    static bool writeTo(const QString& portName, const QByteArray& bytes, QString* error = nullptr);

    // How long a receipt may take to reach the port, in milliseconds (default 5000).
    static int writeTimeoutMs();
    static void setWriteTimeoutMs(int ms);

    // A receipt written while lending: begin, one item line per item, end. Each step is
    // guarded on its own and fails silently (returns false); later steps still try, except
    // after the port timed out, when the receipt is given up.
    explicit PosPrinter(QString portName);
    ~PosPrinter();
    PosPrinter(const PosPrinter&) = delete;
    PosPrinter& operator=(const PosPrinter&) = delete;
    bool begin(const QString& libraryName);
    bool item(int position, const QString& title);
    bool end(const QDateTime& moment, const QString& operatorName);
    // Set when the port did not take the receipt in time (the one printing failure the desk
    // reports); empty otherwise.
    QString timeoutError() const { return timeoutError_; }

    // Prints a whole lending receipt; false when any step failed. *timeoutError receives
    // the text of a port that did not answer in time.
    static bool printReceipt(const QString& portName, const QString& libraryName,
                             const QStringList& titles, const QDateTime& moment,
                             const QString& operatorName, QString* timeoutError = nullptr);

private:
    bool write(const QByteArray& bytes);
    void closePort();

    QString portName_;
    int fd_ = -1;
    qint64 deadline_ = 0; // QDeadlineTimer-style milliseconds since the steady epoch
    QString timeoutError_;
};
