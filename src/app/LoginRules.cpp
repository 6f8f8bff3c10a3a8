#include "LoginRules.h"

#include "data/ConnectionString.h"
#include "data/Schema.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {
// The value of a column of the current row; a column the row does not have reads as NULL,
// so an empty result set gives the same conversion error as a NULL column.
QVariant column(const QSqlQuery& q, bool hasRow, const char* name)
{
    if (!hasRow)
        return QVariant();
    const int at = q.record().indexOf(QString::fromUtf8(name));
    return at < 0 ? QVariant() : q.value(at);
}

QString strictText(const QVariant& v)
{
    if (v.isNull())
        throw DbError(DbValue::conversionError(QStringLiteral("String")));
    return v.toString();
}
} // namespace

QString LoginRules::settingsFilePath(const LoginState& state)
{
    return QDir(state.programDir).absoluteFilePath(QStringLiteral("de.ini"));
}

QString LoginRules::missingLibraryMessage(const LoginState& state, const QString& workDir)
{
    if (state.DbKind != QLatin1String("a"))
        return {};
    const QString file = QDir(workDir).absoluteFilePath(QStringLiteral("book.mdb"));
    if (QFileInfo(file).isFile())
        return {};
    return QStringLiteral("找不到数据库文件 %1.\n新建一个图书馆请运行: tushu --init DIR --demo")
        .arg(QDir::toNativeSeparators(file));
}

bool LoginRules::refusesProvider(const LoginState& state)
{
    return state.DbKind == QLatin1String("s") &&
           ConnectionString(state.ConnectionString)
                   .value(QStringLiteral("Provider"))
                   .compare(QLatin1String("PostgreSQL"), Qt::CaseInsensitive) != 0;
}

bool LoginRules::openConnection(Database& db, const LoginState& state, QString* error)
{
    db.close();
    if (!db.open(state.DbKind, state.ConnectionString, error))
        return false;
    // A library made before the shelf inventory gets its tables now. A database that refuses
    // them stays usable; the screens that need them then show the database's own text.
    try {
        Schema::addMissing(db);
    } catch (const DbError&) {
    }
    return true;
}

QString LoginRules::duplicateOperatorsMessage() const
{
    const QStringList names = Schema::duplicateOperatorNames(db_);
    if (names.isEmpty())
        return {};
    return QStringLiteral("管理员表中有重名的管理员: %1\n"
                          "修改密码、修改或删除其中一个会同时改动所有同名的管理员。"
                          "请在数据库中把他们改为不同的名字后重新启动程序。")
        .arg(names.join(QStringLiteral("、")));
}

QStringList LoginRules::operatorNames() const
{
    QSqlQuery q = db_.query(QStringLiteral("select * from 管理员"));
    QStringList names;
    bool any = false;
    while (q.next()) {
        any = true;
        names << strictText(column(q, true, "adminname"));
    }
    // With no operator at all the first row has no adminname either.
    if (!any)
        strictText(QVariant());
    return names;
}

bool LoginRules::superAdministratorHasDefaultPassword() const
{
    QSqlQuery q = db_.query(QStringLiteral("select * from 管理员 where AdminName = ?"),
                            {QString::fromUtf8(kSuperAdministrator)});
    if (!q.next())
        return false;
    return DbValue::toText(column(q, true, "pwd")) == QLatin1String(kDefaultPassword);
}

void LoginRules::readLibrarySettings() const
{
    QSqlQuery q = db_.query(QStringLiteral("select * from 系统设置"));
    const bool row = q.next();
    auto flag = [&](const char* name) { return DbValue::toBool(column(q, row, name)); };
    auto money = [&](const char* name) { return DbValue::toMoney(column(q, row, name)); };

    LibrarySettings s;
    s.启用租金功能 = flag("启用租金功能");
    s.启用读者租金 = flag("启用读者租金");
    s.启用读者有效期 = flag("启用读者有效期");
    s.启用超期罚金 = flag("启用超期罚金");
    s.借阅数量限制功能 = flag("借阅数量限制功能");
    s.图书馆名 = strictText(column(q, row, "图书馆名"));
    s.超期每日罚金 = money("超期每日罚金");
    s.开户费 = money("开户费");
    s.显示班级 = flag("显示班级");
    s.显示院系 = flag("显示院系");
    s.启用预定功能 = flag("启用预定功能");
    state_.settings = s;
}

const QList<LoginRules::RightColumn>& LoginRules::rightsColumns()
{
    static const QList<RightColumn> columns = {
        {"qxadmin", &Rights::qxadmin},
        {"qxdel", &Rights::qxdel},
        {"qxbk", &Rights::qxbk},
        {"qxrd", &Rights::qxrd},
        {"qxqk", &Rights::qxqk},
        {"qxbkxg", &Rights::qxbkxg},
        {"qxrdxg", &Rights::qxrdxg},
        {"qxqkxg", &Rights::qxqkxg},
        {"qxborrow", &Rights::qxborrow},
        {"qxreturn", &Rights::qxreturn},
        {"qxsysset", &Rights::qxsysset},
        {"qxadddata", &Rights::qxadddata},
        {"qxModifyStock", &Rights::qxModifyStock},
    };
    return columns;
}

bool LoginRules::isSuperAdministrator(const QString& name)
{
    return name.trimmed() == QString::fromUtf8(kSuperAdministrator);
}

Rights LoginRules::withSuperAdministratorRights(Rights rights)
{
    for (const RightColumn& c : rightsColumns())
        if (c.field != &Rights::qxModifyStock)
            rights.*c.field = true;
    return rights;
}

bool LoginRules::login(const QString& name, const QString& password) const
{
    readLibrarySettings();

    QSqlQuery q = db_.query(QStringLiteral("select * from 管理员 where adminname = ? and pwd = ?"),
                            {name, password});
    if (!q.next())
        return false;

    Rights rights;
    for (const RightColumn& c : rightsColumns())
        rights.*c.field = DbValue::toBool(column(q, true, c.column));
    if (isSuperAdministrator(name))
        rights = withSuperAdministratorRights(rights);

    state_.rights = rights;
    state_.OperatorName = name.trimmed();
    return true;
}
