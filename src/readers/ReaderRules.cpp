#include "ReaderRules.h"

#include "data/Clock.h"
#include "data/Database.h"
#include "data/Schema.h"
#include "data/TextHelpers.h"

#include <QSqlQuery>
#include <QSqlRecord>

QString ReaderText::gone(const QString& number)
{
    return QStringLiteral("读者\"%1\"已不存在!").arg(number);
}

namespace {
QVariant dateTimeOrNull(const QDateTime& d)
{
    return d.isValid() ? QVariant(d) : QVariant();
}

// One editable column: its name and the value the edited fields give it.
struct EditableColumn
{
    const char* column;
    QVariant (*value)(const ReaderFields&);
};

QVariant trimmed(const QString& s)
{
    return s.trimmed();
}

const EditableColumn kEditable[] = {
    {"读者编号", [](const ReaderFields& f) { return trimmed(f.number); }},
    {"读者姓名", [](const ReaderFields& f) { return trimmed(f.name); }},
    {"性别", [](const ReaderFields& f) { return trimmed(f.gender); }},
    {"类别", [](const ReaderFields& f) { return trimmed(f.category); }},
    {"有效证件", [](const ReaderFields& f) { return trimmed(f.paperKind); }},
    {"证件号码", [](const ReaderFields& f) { return trimmed(f.paperNumber); }},
    {"联系电话", [](const ReaderFields& f) { return trimmed(f.phone); }},
    {"有效期",
     [](const ReaderFields& f) {
         return QVariant(f.validUntil.isValid() ? f.validUntil : ReaderRules::noExpiry());
     }},
    {"班级", [](const ReaderFields& f) { return trimmed(f.className); }},
    {"院系", [](const ReaderFields& f) { return trimmed(f.faculty); }},
    {"单位部门", [](const ReaderFields& f) { return trimmed(f.department); }},
    {"住址", [](const ReaderFields& f) { return trimmed(f.address); }},
    {"备注", [](const ReaderFields& f) { return trimmed(f.remark); }},
    {"py", [](const ReaderFields& f) { return QVariant(ReaderRules::pinyin(f.name)); }},
};
} // namespace

ReaderRules::ReaderRules(const Database& db, const LoginState& state) : db_(db), state_(state) {}

QDate ReaderRules::noExpiry()
{
    return QDate(2500, 1, 1);
}

QStringList ReaderRules::genders()
{
    return {ReaderText::Male, ReaderText::Female};
}

ReaderFields ReaderRules::defaults()
{
    ReaderFields f;
    f.gender = ReaderText::Male;
    f.category = ReaderText::DefaultCategory;
    f.validUntil = noExpiry();
    return f;
}

QString ReaderRules::pinyin(const QString& name)
{
    // The name as typed: a leading blank shifts the byte pairs, as the 拼音 always did.
    return PinyinInitials(name);
}

QStringList ReaderRules::firstColumn(const QString& table) const
{
    const TableDef* t = Schema::table(table);
    QStringList out;
    QSqlQuery q =
        db_.query(QStringLiteral("select %1 from %2").arg(t->columns.first().name, t->name));
    while (q.next())
        out << DbValue::toText(q.value(0));
    return out;
}

QStringList ReaderRules::categories() const
{
    return firstColumn(QStringLiteral("读者类别"));
}
QStringList ReaderRules::departments() const
{
    return firstColumn(QStringLiteral("单位名称"));
}
QStringList ReaderRules::paperKinds() const
{
    return firstColumn(QStringLiteral("证件名"));
}

bool ReaderRules::hasColumn(const QString& table, const QString& column) const
{
    return db_.handle().record(table).indexOf(column) >= 0;
}

QString ReaderRules::missing(const ReaderFields& f)
{
    if (f.number.trimmed().isEmpty() || f.name.trimmed().isEmpty() ||
        f.category.trimmed().isEmpty())
        return ReaderText::Required;
    return {};
}

ReaderFields ReaderRules::toStore(const ReaderFields& typed, const ReaderFields& hidden) const
{
    ReaderFields f = typed;
    if (!showsClass())
        f.className = hidden.className;
    if (!showsFaculty())
        f.faculty = hidden.faculty;
    return f;
}

RuleResult ReaderRules::registerReader(const ReaderFields& typed) const
{
    if (const QString refused = missing(typed); !refused.isEmpty())
        return RuleResult::refused(refused);
    const ReaderFields f = toStore(typed, ReaderFields());

    QStringList columns;
    QVariantList values;
    for (const EditableColumn& c : kEditable) {
        columns << QString::fromUtf8(c.column);
        values << c.value(f);
    }
    const QDateTime now = Clock::now();
    columns << QStringLiteral("登记日期") << QStringLiteral("登记人") << QStringLiteral("状态")
            << QStringLiteral("密码") << QStringLiteral("未还数量")
            << QStringLiteral("累计借阅次数");
    values << now << state_.OperatorName << ReaderText::Active
           << QString::fromUtf8(kDefaultPassword) << 0 << 0;
    try {
        if (hasColumn(QStringLiteral("读者库"), QStringLiteral("TmpA"))) {
            columns << QStringLiteral("TmpA");
            values << now.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")) + QStringLiteral("+A");
        }
        QStringList marks;
        for (qsizetype i = 0; i < columns.size(); ++i)
            marks << QStringLiteral("?");
        const Money fee = state_.settings.开户费;
        db_.transaction([&] {
            db_.execute(
                QStringLiteral("insert into 读者库 (%1) values (%2)")
                    .arg(columns.join(QStringLiteral(", ")), marks.join(QStringLiteral(", "))),
                values);
            if (fee > Money())
                db_.execute(
                    QStringLiteral("insert into 收入 (项目, 时间, 读者编号, 读者姓名, 金额, "
                                   "管理员) values (?, ?, ?, ?, ?, ?)"),
                    {ReaderText::OpeningFee, Clock::today(), f.number.trimmed(), f.name.trimmed(),
                     QVariant::fromValue(fee), state_.OperatorName});
        });
    } catch (const DbError& e) {
        return RuleResult::failed(e.message());
    }
    return RuleResult::written({ReaderText::Saved});
}

std::optional<ReaderRecord> ReaderRules::load(const QString& number) const
{
    QSqlQuery q = db_.query(QStringLiteral("select * from 读者库 where 读者编号 = ?"), {number});
    if (!q.next())
        return std::nullopt;
    const QSqlRecord rec = q.record();
    auto text = [&](const char* column) {
        return DbValue::toText(q.value(rec.indexOf(QString::fromUtf8(column))));
    };
    auto value = [&](const char* column) {
        return q.value(rec.indexOf(QString::fromUtf8(column)));
    };
    ReaderRecord r;
    r.fields.number = text("读者编号");
    r.fields.name = text("读者姓名");
    r.fields.gender = text("性别");
    r.fields.category = text("类别");
    r.fields.paperKind = text("有效证件");
    r.fields.paperNumber = text("证件号码");
    r.fields.phone = text("联系电话");
    r.fields.validUntil = DbValue::dateOrNull(value("有效期"));
    r.fields.className = text("班级");
    r.fields.faculty = text("院系");
    r.fields.department = text("单位部门");
    r.fields.address = text("住址");
    r.fields.remark = text("备注");
    r.registeredAt = DbValue::dateTimeOrNull(value("登记日期"));
    r.status = text("状态");
    r.loans = value("累计借阅次数").isNull() ? 0 : DbValue::toInt(value("累计借阅次数"));
    r.onLoan = value("未还数量").isNull() ? 0 : DbValue::toInt(value("未还数量"));
    r.balance = Money::fromVariant(value("卡内金额")).value_or(Money());
    r.pinyin = text("py");
    return r;
}

RuleResult ReaderRules::saveEdit(const ReaderRecord& loaded, const ReaderFields& typed,
                                 const QDateTime& registeredAt) const
{
    if (const QString refused = missing(typed); !refused.isEmpty())
        return RuleResult::refused(refused);
    // Hidden fields keep what the row holds.
    const ReaderFields f = toStore(typed, loaded.fields);

    QStringList sets;
    QVariantList values;
    for (const EditableColumn& c : kEditable) {
        const QVariant now = c.value(f);
        const QVariant before = c.value(loaded.fields);
        // py follows the name; a stored py that differs is corrected with the name.
        const bool isPy = qstrcmp(c.column, "py") == 0;
        if (now != before || (isPy && now.toString() != loaded.pinyin)) {
            sets << QString::fromUtf8(c.column) + QStringLiteral(" = ?");
            values << now;
        }
    }
    if (registeredAt != loaded.registeredAt) {
        sets << QStringLiteral("登记日期 = ?");
        values << dateTimeOrNull(registeredAt);
    }
    if (sets.isEmpty())
        return RuleResult::written();
    values << loaded.fields.number;
    try {
        const int rows = db_.execute(QStringLiteral("update 读者库 set %1 where 读者编号 = ?")
                                         .arg(sets.join(QStringLiteral(", "))),
                                     values);
        if (rows == 0)
            return RuleResult::refused(ReaderText::gone(loaded.fields.number));
    } catch (const DbError& e) {
        return RuleResult::failed(e.message());
    }
    return RuleResult::written();
}
