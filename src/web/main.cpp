// tushu-web: the reader web portal over the library of a folder (its de.ini and book.mdb,
// or the PostgreSQL server de.ini names), beside the desks.
#include "PortalServer.h"
#include "data/LibraryDir.h"

#include <QCoreApplication>
#include <QStringList>
#include <QTextStream>

namespace {

const char* const kUsage =
    "用法: tushu-web --dir 目录 [--listen 地址:端口] [--cert 证书.pem --key 密钥.pem]\n"
    "                [--behind-proxy] [--idle-minutes 分钟]\n"
    "  --dir           图书馆目录(其中的 de.ini 指向数据库)\n"
    "  --listen        监听地址和端口,默认 127.0.0.1:8080\n"
    "  --cert, --key   直接以 TLS 提供服务的证书和密钥(PEM)\n"
    "  --behind-proxy  位于本机的反向代理之后: 客户地址取自 X-Real-IP\n"
    "  --idle-minutes  会话空闲多久后结束,默认 30 分钟\n";

bool parseListen(const QString& text, PortalOptions& options)
{
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0)
        return false;
    QString host = text.left(colon);
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    bool ok = false;
    const uint port = text.mid(colon + 1).toUInt(&ok);
    if (!ok || port > 65535 || !options.address.setAddress(host))
        return false;
    options.port = static_cast<quint16>(port);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTextStream err(stderr);
    QTextStream out(stdout);
    const QStringList args = app.arguments();
    QString dir;
    PortalOptions options;
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == QStringLiteral("--help") || a == QStringLiteral("-h")) {
            out << QString::fromUtf8(kUsage);
            return 0;
        } else if (a == QStringLiteral("--behind-proxy")) {
            options.behindProxy = true;
        } else if (hasValue && a == QStringLiteral("--dir")) {
            dir = args[++i];
        } else if (hasValue && a == QStringLiteral("--listen")) {
            if (!parseListen(args[++i], options)) {
                err << QStringLiteral("监听地址无效: %1\n").arg(args[i]);
                return 2;
            }
        } else if (hasValue && a == QStringLiteral("--cert")) {
            options.certificateFile = args[++i];
        } else if (hasValue && a == QStringLiteral("--key")) {
            options.keyFile = args[++i];
        } else if (hasValue && a == QStringLiteral("--idle-minutes")) {
            bool ok = false;
            const int minutes = args[++i].toInt(&ok);
            if (!ok || minutes <= 0 || minutes > 24 * 60) {
                err << QStringLiteral("空闲时间无效: %1\n").arg(args[i]);
                return 2;
            }
            options.idleSeconds = minutes * 60;
        } else {
            err << QStringLiteral("无法识别的参数: %1\n").arg(a) << QString::fromUtf8(kUsage);
            return 2;
        }
    }
    if (dir.isEmpty() || options.certificateFile.isEmpty() != options.keyFile.isEmpty()) {
        err << QString::fromUtf8(kUsage);
        return 2;
    }
    LibraryDir library(dir);
    if (!library.open()) {
        err << library.error() << '\n';
        return 1;
    }
    PortalServer server(library.db(), options);
    QString error;
    const quint16 port = server.start(&error);
    if (port == 0) {
        err << error << '\n';
        return 1;
    }
    out << QStringLiteral("读者网站已启动: %1://%2:%3/\n")
               .arg(options.certificateFile.isEmpty() ? QStringLiteral("http")
                                                      : QStringLiteral("https"),
                    options.address.toString())
               .arg(port);
    out.flush();
    return app.exec();
}
