#include "LoginState.h"

#include "SettingsFile.h"

LoginState& LoginState::instance()
{
    static LoginState state;
    return state;
}

void LoginState::reset()
{
    instance() = LoginState();
}

void LoginState::readSettingsFile(const SettingsFile& file)
{
    const QString zero = QStringLiteral("0");
    const QString part1 = QStringLiteral("part1");
    const QString posPrt = QStringLiteral("PosPrt");
    PosPort = file.read(posPrt, QStringLiteral("PosPort"), zero);
    if (PosPort == zero)
        PosPort = QStringLiteral("LPT1");
    JieChuHouDaYin = file.read(posPrt, QStringLiteral("JieChuHouDaYin"), zero);
    WinA = file.read(part1, QStringLiteral("WinA"), zero);
    softname = file.read(part1, QStringLiteral("softname"), zero);
    tel = file.read(part1, QStringLiteral("tel"), zero);
    company = file.read(part1, QStringLiteral("company"), zero);
    Memo = file.read(part1, QStringLiteral("Memo"), zero);
    web = file.read(part1, QStringLiteral("web"), zero);
    BcCc = file.read(part1, QStringLiteral("BcCc"), zero);
    CatalogueHost =
        file.read(part1, QStringLiteral("CatalogueHost"), QStringLiteral("opac.nlc.cn"));
    DbKind = file.read(part1, QStringLiteral("abc"), QStringLiteral("a"));
    ConnectionString = file.read(part1, QStringLiteral("csaccess"), zero);
    if (DbKind == QLatin1String("s"))
        ConnectionString = file.read(part1, QStringLiteral("cs"), zero);
}
