#include "../common/TestMain.h"
#include "circulation/PosPrinter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

class PosPrinterTest : public QObject
{
    Q_OBJECT
private slots:
    void portNamesMapToDevices_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("device");
        QTest::newRow("LPT1") << "LPT1"
                              << "/dev/lp0" << true;
        QTest::newRow("LPT3") << "LPT3"
                              << "/dev/lp2" << true;
        QTest::newRow("lower case lpt2") << "lpt2"
                                         << "/dev/lp1" << true;
        QTest::newRow("COM1") << "COM1"
                              << "/dev/ttyS0" << true;
        QTest::newRow("COM9") << "COM9"
                              << "/dev/ttyS8" << true;
        QTest::newRow("LPT4 is a plain name") << "LPT4"
                                              << "LPT4" << false;
        QTest::newRow("COM10 is a plain name") << "COM10"
                                               << "COM10" << false;
        QTest::newRow("a file") << "/tmp/receipt.bin"
                                << "/tmp/receipt.bin" << false;
    }
    void portNamesMapToDevices()
    {
        QFETCH(QString, port);
        QFETCH(QString, path);
        QFETCH(bool, device);
        QCOMPARE(PosPrinter::devicePath(port), path);
        QCOMPARE(PosPrinter::isDeviceName(port), device);
    }

    void offeredPortNames()
    {
        QCOMPARE(PosPrinter::portNames(),
                 QStringList({"LPT1", "LPT2", "LPT3", "COM1", "COM2", "COM3", "COM4", "COM5",
                              "COM6", "COM7", "COM8", "COM9"}));
    }

    // The receipt of a three-item loan, written through the port as lending does, byte for
    // byte: GBK text, CR LF after every line, the feed line last.
    void receiptOfThreeItemsIsEightLines()
    {
        QTemporaryDir dir;
        const QString port = QDir(dir.path()).filePath(QStringLiteral("receipt.bin"));
        const QDateTime moment(QDate(2026, 3, 2), QTime(9, 5, 7));
        QVERIFY(PosPrinter::printReceipt(
            port, QStringLiteral("阳光图书馆"),
            {QStringLiteral("三国"), QStringLiteral("水浒传"), QStringLiteral("读者")}, moment,
            QStringLiteral("超级管理员")));
        QFile f(port);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        // 阳光图书馆 / 三国 / 水浒传 / 读者 / 打印时间 / 管理员 / 超级管理员 in GBK.
        const QByteArray expected =
            QByteArray(" \r\n") + "\xD1\xF4\xB9\xE2\xCD\xBC\xCA\xE9\xB9\xDD\r\n" +
            "1:\xC8\xFD\xB9\xFA\r\n" + "2:\xCB\xAE\xE4\xB0\xB4\xAB\r\n" + "3:\xB6\xC1\xD5\xDF\r\n" +
            "\xB4\xF2\xD3\xA1\xCA\xB1\xBC\xE4:26-03-02 09:05:07\r\n" +
            "\xB9\xDC\xC0\xED\xD4\xB1: " + "\xB3\xAC\xBC\xB6\xB9\xDC\xC0\xED\xD4\xB1\r\n" +
            QByteArray("\x0B\x1B\x4A\x8C\r\n", 6);
        QCOMPARE(bytes, expected);
        QCOMPARE(bytes.count("\r\n"), 8);
        QVERIFY(bytes.endsWith(QByteArray("\x0B\x1B\x4A\x8C\r\n", 6)));
    }

    void testPage()
    {
        const QDateTime moment(QDate(2026, 12, 31), QTime(23, 59, 58));
        const QByteArray page =
            PosPrinter::testPage(QStringLiteral("图书管理系统"), QStringLiteral("甲"), moment,
                                 QStringLiteral("打印测试内容ABCD"));
        const QList<QByteArray> lines = page.split('\n');
        QCOMPARE(lines.size(), 9); // eight lines, then nothing after the last LF
        QCOMPARE(lines.at(0), QByteArray(" \r"));
        QCOMPARE(lines.at(1), QByteArray(" [\xB4\xF2\xD3\xA1\xBF\xAA\xCA\xBC]\r"));
        QCOMPARE(lines.at(2), QByteArray("[ \xCD\xBC\xCA\xE9\xB9\xDC\xC0\xED\xCF\xB5\xCD\xB3 ]\r"));
        QCOMPARE(lines.at(3), QByteArray("\xB9\xDC\xC0\xED\xD4\xB1: \xBC\xD7\r"));
        QCOMPARE(lines.at(4), QByteArray("\xB4\xF2\xD3\xA1\xCA\xB1\xBC\xE4:26-12-31 23:59:58\r"));
        QCOMPARE(lines.at(5), QByteArray("\xB4\xF2\xD3\xA1\xB2\xE2\xCA\xD4\xC4\xDA\xC8\xDD"
                                         "ABCD\r"));
        QCOMPARE(lines.at(6), QByteArray("    \xB4\xF2\xD3\xA1\xBD\xE1\xCA\xF8-"
                                         "\xB4\xF2\xD3\xA1\xB3\xC9\xB9\xA6 \r"));
        QCOMPARE(lines.at(7), QByteArray("\x0B\x1B\x4A\x8C\r", 5));
        QVERIFY(lines.at(8).isEmpty());
    }

    // A plain file is truncated when opened; a device that does not exist is never created.
    void writingToPorts()
    {
        QTemporaryDir dir;
        const QString file = QDir(dir.path()).filePath(QStringLiteral("port"));
        QVERIFY(PosPrinter::writeTo(file, QByteArray(100, 'x')));
        QVERIFY(PosPrinter::writeTo(file, QByteArray("ab")));
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("ab"));

        QString error;
        QVERIFY(!PosPrinter::writeTo(QDir(dir.path()).filePath(QStringLiteral("no/such/port")),
                                     QByteArray("ab"), &error));
        QVERIFY(!error.isEmpty());
        if (!QFile::exists(QStringLiteral("/dev/lp2"))) {
            QVERIFY(!PosPrinter::writeTo(QStringLiteral("LPT3"), QByteArray("ab")));
            QVERIFY(!QFile::exists(QStringLiteral("/dev/lp2")));
        }
        // A lending receipt to a missing port fails quietly in every step.
        PosPrinter printer(QDir(dir.path()).filePath(QStringLiteral("no/such/port")));
        QVERIFY(!printer.begin(QStringLiteral("馆")));
        QVERIFY(!printer.item(1, QStringLiteral("三国")));
        QVERIFY(!printer.end(QDateTime::currentDateTime(), QStringLiteral("甲")));
    }

    // A port that does not take the bytes never holds the desk: a FIFO without a reader
    // fails at once, one whose reader does not read is given up after the write timeout,
    // with the text the desk shows; the receipt then stops waiting in its later steps.
    void portsThatDoNotAnswer()
    {
        QTemporaryDir dir;
        const QString fifo = QDir(dir.path()).filePath(QStringLiteral("fifo"));
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        QString error;
        QVERIFY(!PosPrinter::writeTo(fifo, QByteArray("ab"), &error));
        QVERIFY(!error.isEmpty());

        const int reader = ::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_NONBLOCK);
        QVERIFY(reader >= 0);
        const int oldTimeout = PosPrinter::writeTimeoutMs();
        PosPrinter::setWriteTimeoutMs(200);
        const QByteArray moreThanThePipeHolds(4 << 20, 'x');
        QVERIFY(!PosPrinter::writeTo(fifo, moreThanThePipeHolds, &error));
        QVERIFY2(error.contains(QStringLiteral("没有接收数据")), qPrintable(error));

        // The pipe is full now: the receipt is given up with the port's text.
        QString timeout;
        QVERIFY(!PosPrinter::printReceipt(
            fifo, QStringLiteral("馆"), {QStringLiteral("三国"), QStringLiteral("水浒")},
            QDateTime::currentDateTime(), QStringLiteral("甲"), &timeout));
        QVERIFY2(timeout.contains(fifo), qPrintable(timeout));
        PosPrinter::setWriteTimeoutMs(oldTimeout);
        ::close(reader);
    }
};

TUSHU_TEST(PosPrinterTest)
#include "tst_PosPrinter.moc"
