#include "SysInfoSetRules.h"

#include "data/SettingsFile.h"

#include <QDir>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>
#include <cmath>

QString SysInfoText::notANumber(const QString& caption)
{
    return QStringLiteral("%1必须填写不小于0的数字!").arg(caption);
}

QString SysInfoText::settingsFileFailed(const QString& path, const QString& error)
{
    return QStringLiteral("设置已保存, 但 %1 写入失败: %2")
        .arg(QDir::toNativeSeparators(path), error);
}

namespace {
// The columns the screen edits, in the order of the statements below.
const QStringList& editedColumns()
{
    static const QStringList columns = {
        QStringLiteral("图书馆名"),
        QStringLiteral("地址"),
        QStringLiteral("电话"),
        QStringLiteral("负责人"),
        QStringLiteral("超期每日罚金"),
        QStringLiteral("押金倍数"),
        QStringLiteral("开户费"),
        QStringLiteral("归还焦点图书编号"),
        QStringLiteral("归还焦点读者编号"),
        QStringLiteral("归还焦点条形码"),
        QStringLiteral("借阅焦点编号"),
        QStringLiteral("借阅焦点条形码"),
        QStringLiteral("借出时打印清单"),
        QStringLiteral("借阅数量限制功能"),
        QStringLiteral("启用超期罚金"),
        QStringLiteral("启用读者租金"),
        QStringLiteral("启用读者有效期"),
        QStringLiteral("启用租金功能"),
        QStringLiteral("显示院系"),
        QStringLiteral("显示班级"),
        QStringLiteral("启用预定功能"),
        QStringLiteral("借阅证背面文字"),
        QStringLiteral("WebNotice"),
        QStringLiteral("催还通知文字"),
    };
    return columns;
}

std::optional<Money> amount(const QString& text)
{
    const std::optional<Money> m = Money::parse(text);
    if (!m || m->isNegative())
        return std::nullopt;
    return m;
}

std::optional<double> multiple(const QString& text)
{
    bool ok = false;
    const double d = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(d) || d < 0)
        return std::nullopt;
    return d;
}

QString numberText(double d)
{
    return QString::number(d, 'g', 15);
}
} // namespace

SysInfoSetRules::ReturnFocus SysInfoSetRules::returnFocusOf(bool barcode, bool bookNumber,
                                                            bool readerNumber)
{
    ReturnFocus f = ReturnFocus::None;
    if (barcode)
        f = ReturnFocus::Barcode;
    if (bookNumber)
        f = ReturnFocus::BookNumber;
    if (readerNumber)
        f = ReturnFocus::ReaderNumber;
    return f;
}

SysInfoSetRules::LendFocus SysInfoSetRules::lendFocusOf(bool number, bool barcode)
{
    LendFocus f = LendFocus::None;
    if (number)
        f = LendFocus::Number;
    if (barcode)
        f = LendFocus::Barcode;
    return f;
}

SysInfoSetRules::Form SysInfoSetRules::load(const QString& bcCc, bool* hasRow) const
{
    Form f;
    f.bcCc = bcCc == QLatin1String("1");
    QSqlQuery q = db_.query(QStringLiteral("select * from 系统设置"));
    const bool row = q.next();
    if (hasRow)
        *hasRow = row;
    if (!row)
        return f;
    const QSqlRecord record = q.record();
    auto value = [&](const char* column) {
        const int at = record.indexOf(QString::fromUtf8(column));
        return at < 0 ? QVariant() : q.value(at);
    };
    auto text = [&](const char* column) { return DbValue::toText(value(column)); };
    // The screen opens on a row a NULL would stop at login, so that it can be mended.
    auto flag = [&](const char* column) {
        const QVariant v = value(column);
        return !v.isNull() && DbValue::toBool(v);
    };
    auto money = [&](const char* column) {
        const std::optional<Money> m = Money::fromVariant(value(column));
        return m ? m->toString() : QString();
    };
    f.图书馆名 = text("图书馆名");
    f.地址 = text("地址");
    f.电话 = text("电话");
    f.负责人 = text("负责人");
    f.超期每日罚金 = money("超期每日罚金");
    const QVariant deposit = value("押金倍数");
    f.押金倍数 = deposit.isNull() ? QString() : numberText(deposit.toDouble());
    f.开户费 = money("开户费");
    f.returnFocus =
        returnFocusOf(flag("归还焦点条形码"), flag("归还焦点图书编号"), flag("归还焦点读者编号"));
    f.lendFocus = lendFocusOf(flag("借阅焦点编号"), flag("借阅焦点条形码"));
    f.借出时打印清单 = flag("借出时打印清单");
    f.借阅数量限制功能 = flag("借阅数量限制功能");
    f.启用超期罚金 = flag("启用超期罚金");
    f.启用读者租金 = flag("启用读者租金");
    f.启用读者有效期 = flag("启用读者有效期");
    f.启用租金功能 = flag("启用租金功能");
    f.显示院系 = flag("显示院系");
    f.显示班级 = flag("显示班级");
    f.启用预定功能 = flag("启用预定功能");
    f.借阅证背面文字 = text("借阅证背面文字");
    f.WebNotice = text("WebNotice");
    f.催还通知文字 = text("催还通知文字");
    return f;
}

QString SysInfoSetRules::fieldCaption(Field field)
{
    switch (field) {
    case Field::超期每日罚金:
        return QStringLiteral("超期日罚金");
    case Field::押金倍数:
        return QStringLiteral("押金倍数");
    case Field::开户费:
        return QStringLiteral("开户费");
    case Field::None:
        break;
    }
    return {};
}

SysInfoSetRules::Outcome SysInfoSetRules::check(const Form& form)
{
    auto refused = [](Field field, const QString& message) {
        return Outcome{Outcome::Refused, message, field};
    };
    // An empty amount would be stored as NULL, and a NULL here stops every later login.
    if (form.超期每日罚金.trimmed().isEmpty())
        return refused(Field::超期每日罚金, SysInfoText::FineRequired);
    if (!amount(form.超期每日罚金))
        return refused(Field::超期每日罚金,
                       SysInfoText::notANumber(fieldCaption(Field::超期每日罚金)));
    if (form.押金倍数.trimmed().isEmpty())
        return refused(Field::押金倍数, SysInfoText::DepositRequired);
    if (!multiple(form.押金倍数))
        return refused(Field::押金倍数, SysInfoText::notANumber(fieldCaption(Field::押金倍数)));
    if (form.开户费.trimmed().isEmpty())
        return refused(Field::开户费, SysInfoText::OpeningFeeRequired);
    if (!amount(form.开户费))
        return refused(Field::开户费, SysInfoText::notANumber(fieldCaption(Field::开户费)));
    return {};
}

SysInfoSetRules::Outcome SysInfoSetRules::save(const Form& f, const QString& settingsPath) const
{
    Outcome outcome = check(f);
    if (outcome.kind != Outcome::Saved)
        return outcome;

    const QVariantList values = {
        f.图书馆名,
        f.地址,
        f.电话,
        f.负责人,
        QVariant::fromValue(*amount(f.超期每日罚金)),
        *multiple(f.押金倍数),
        QVariant::fromValue(*amount(f.开户费)),
        f.returnFocus == ReturnFocus::BookNumber,
        f.returnFocus == ReturnFocus::ReaderNumber,
        f.returnFocus == ReturnFocus::Barcode,
        f.lendFocus == LendFocus::Number,
        f.lendFocus == LendFocus::Barcode,
        f.借出时打印清单,
        f.借阅数量限制功能,
        f.启用超期罚金,
        f.启用读者租金,
        f.启用读者有效期,
        f.启用租金功能,
        f.显示院系,
        f.显示班级,
        f.启用预定功能,
        f.借阅证背面文字,
        f.WebNotice,
        f.催还通知文字,
    };
    try {
        db_.transaction([&] {
            // Two desks saving at once must not both find the table empty and both insert.
            const QString count = QStringLiteral("select count(*) from 系统设置");
            if (db_.engine() == DbEngine::PostgreSQL)
                db_.execute(QStringLiteral("lock table 系统设置 in share row exclusive mode"));
            const QStringList& columns = editedColumns();
            if (db_.scalar(count).toInt() > 0) {
                QStringList sets;
                for (const QString& c : columns)
                    sets << c + QStringLiteral(" = ?");
                db_.execute(
                    QStringLiteral("update 系统设置 set %1").arg(sets.join(QStringLiteral(", "))),
                    values);
            } else {
                QStringList marks;
                for (qsizetype i = 0; i < columns.size(); ++i)
                    marks << QStringLiteral("?");
                db_.execute(
                    QStringLiteral("insert into 系统设置 (%1) values (%2)")
                        .arg(columns.join(QStringLiteral(", ")), marks.join(QStringLiteral(", "))),
                    values);
            }
        });
    } catch (const DbError& e) {
        return Outcome{Outcome::Failed, e.message(), Field::None};
    }

    QString error;
    if (!SettingsFile(settingsPath)
             .write(QStringLiteral("part1"), QStringLiteral("BcCc"),
                    f.bcCc ? QStringLiteral("1") : QStringLiteral("0"), &error))
        return Outcome{Outcome::Failed, SysInfoText::settingsFileFailed(settingsPath, error),
                       Field::None};
    return Outcome{Outcome::Saved, SysInfoText::Restart, Field::None};
}
