// YAZ's own Z39.50 and SRU test server (yaz-ztest) on a port of the test's, and beside it a
// peer that accepts connections and never answers, for the time-out.
#pragma once

#include <QElapsedTimer>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

class ZtestServer
{
public:
    ~ZtestServer()
    {
        process_.kill();
        process_.waitForFinished();
    }

    // Empty once the server answers on port; otherwise why it does not.
    QString start(int port)
    {
        process_.start(QStringLiteral("yaz-ztest"),
                       {QStringLiteral("-l"), QStringLiteral("/dev/null"),
                        QStringLiteral("tcp:127.0.0.1:%1").arg(port)});
        if (!process_.waitForStarted())
            return QStringLiteral("yaz-ztest (Debian package yaz) is needed");
        QElapsedTimer waited;
        waited.start();
        for (;;) {
            QTcpSocket probe;
            probe.connectToHost(QStringLiteral("127.0.0.1"), quint16(port));
            if (probe.waitForConnected(200))
                break;
            if (waited.elapsed() > 10000)
                return QStringLiteral("yaz-ztest does not answer on port %1").arg(port);
            QThread::msleep(50);
        }
        if (!silent_.listen(QHostAddress::LocalHost))
            return silent_.errorString();
        return {};
    }

    quint16 silentPort() const { return silent_.serverPort(); }

private:
    QProcess process_;
    QTcpServer silent_;
};
