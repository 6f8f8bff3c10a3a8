#include "SetDataRules.h"

#include "data/ConnectionString.h"

#include <QUuid>

namespace {
const QString kPart1 = QStringLiteral("part1");

QString quoted(const QString& value)
{
    const bool plain = !value.contains(QLatin1Char(';')) && value.trimmed() == value &&
                       !value.startsWith(QLatin1Char('"')) && !value.startsWith(QLatin1Char('\''));
    if (plain)
        return value;
    return QLatin1Char('"') + QString(value).replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
           QLatin1Char('"');
}
} // namespace

SetDataRules::SetDataRules(SettingsFile file, QString kind)
    : file_(std::move(file)), kind_(std::move(kind)),
      testDb_(QStringLiteral("SetDataTest-") + QUuid::createUuid().toString(QUuid::Id128))
{
}

SetDataRules::Choice SetDataRules::initialChoice() const
{
    if (kind_ == QLatin1String("a"))
        return Choice::Access;
    if (kind_ == QLatin1String("s"))
        return Choice::Server;
    return Choice::None;
}

QStringList SetDataRules::providers()
{
    return {QStringLiteral("PostgreSQL")};
}

SetDataRules::ServerInputs SetDataRules::storedInputs() const
{
    const QString zero = QStringLiteral("0");
    ServerInputs in;
    in.server = file_.read(kPart1, QStringLiteral("ServerName"), zero);
    in.database = file_.read(kPart1, QStringLiteral("DataBaseName"), zero);
    in.user = file_.read(kPart1, QStringLiteral("UserName"), zero);
    in.password = file_.read(kPart1, QStringLiteral("PassWord"), zero);
    const QString provider = ConnectionString(file_.read(kPart1, QStringLiteral("cs"), zero))
                                 .value(QStringLiteral("Provider"));
    in.provider = providers().first();
    for (const QString& p : providers())
        if (p.compare(provider, Qt::CaseInsensitive) == 0)
            in.provider = p;
    return in;
}

QString SetDataRules::connectionString(const ServerInputs& in)
{
    return QStringLiteral("Provider=") + quoted(in.provider) + QStringLiteral(";Password=") +
           quoted(in.password) + QStringLiteral(";Persist Security Info=True;User ID=") +
           quoted(in.user) + QStringLiteral(";Initial Catalog=") + quoted(in.database) +
           QStringLiteral(";Data Source=") + quoted(in.server) + QLatin1Char(';');
}

bool SetDataRules::test(const ServerInputs& inputs, QString* error)
{
    // A test always starts from a closed connection, so corrected inputs can be tried again.
    testDb_.close();
    testedString_.clear();
    const QString cs = connectionString(inputs);
    if (!testDb_.open(QStringLiteral("s"), cs, error, QString(), kTestTimeoutSeconds))
        return false;
    testedString_ = cs;
    return true;
}

void SetDataRules::inputsChanged()
{
    testDb_.close();
    testedString_.clear();
}

bool SetDataRules::save(Choice choice, const ServerInputs& in, QString* error)
{
    if (choice != Choice::None &&
        !file_.write(kPart1, QStringLiteral("abc"),
                     choice == Choice::Access ? QStringLiteral("a") : QStringLiteral("s"), error))
        return false;
    const std::pair<const char*, QString> inputs[] = {
        {"ServerName", in.server},
        {"DataBaseName", in.database},
        {"UserName", in.user},
        {"PassWord", in.password},
    };
    for (const auto& [key, value] : inputs)
        if (!file_.write(kPart1, QString::fromLatin1(key), value.trimmed(), error))
            return false;
    if (hasValidTest() &&
        !file_.write(kPart1, QStringLiteral("cs"), testedString_.trimmed(), error))
        return false;
    return true;
}
