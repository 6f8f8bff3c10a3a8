#include "BookEntry.h"

#include "data/Clock.h"
#include "data/LoginState.h"
#include "data/TextHelpers.h"

#include <QHash>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {

QStringList column(const Database& db, const QString& table, const QString& name)
{
    QStringList items;
    QSqlQuery q = db.query(QStringLiteral("select %1 from %2").arg(name, table));
    while (q.next())
        items << DbValue::toText(q.value(0));
    return items;
}

QVariant trimmed(const QString& text)
{
    return text.trimmed();
}

const QVariant kNullText = QVariant(QMetaType::fromType<QString>());

// A whole number typed in a field; a blank field takes the fallback. Throws the
// conversion error for anything else.
QVariant integerField(const QString& text, std::optional<int> fallback)
{
    const QString t = text.trimmed();
    if (t.isEmpty() && fallback)
        return *fallback;
    return DbValue::toInt(QVariant(t));
}

} // namespace

std::optional<QString> AutoNumbering::confirm(const QString& startValue, const QString& prefix,
                                              QString* error)
{
    const QString start = startValue.trimmed();
    bool ok = false;
    const int value = start.toInt(&ok);
    if (!ok) {
        if (error)
            *error = QStringLiteral("'%1' is not a valid integer value").arg(start);
        return std::nullopt;
    }
    counter_ = value;
    width_ = int(start.size());
    prefix_ = prefix.trimmed();
    return prefix_ + start;
}

QString AutoNumbering::advance()
{
    ++counter_;
    return prefix_ + QString::number(counter_).rightJustified(width_, QLatin1Char('0'));
}

BookRecord BookEntry::initialRecord()
{
    BookRecord r;
    r.条形码 = QStringLiteral("n");
    r.电子文档 = QStringLiteral("n");
    r.数量 = QStringLiteral("1");
    r.价格 = QStringLiteral("0");
    r.页数 = QStringLiteral("0");
    r.币种 = QStringLiteral("人民币");
    r.物品级别 = kDefaultItemLevel;
    r.状态 = QStringLiteral("正常");
    r.来源 = QStringLiteral("购买");
    return r;
}

BookEntryLists BookEntry::loadLists() const
{
    BookEntryLists l;
    l.分类 = column(db_, QStringLiteral("分类"), QStringLiteral("名称"));
    l.二级分类 = column(db_, QStringLiteral("二级分类"), QStringLiteral("名称"));
    l.出版社 = column(db_, QStringLiteral("出版社名"), QStringLiteral("出版社名"));
    l.存放位置 = column(db_, QStringLiteral("存放位置"), QStringLiteral("存放位置名"));
    l.币种 = column(db_, QStringLiteral("币种"), QStringLiteral("币种"));
    l.密级 = column(db_, QStringLiteral("密级"), QStringLiteral("密级"));
    l.附件 = column(db_, QStringLiteral("附件名"), QStringLiteral("附件名"));
    l.物品级别 = column(db_, QStringLiteral("物品级别"), QStringLiteral("名称"));
    return l;
}

QStringList BookEntry::publisherKeys(const QString& barcode)
{
    // An EAN-13 ISBN barcode: three prefix digits, the group "7", then the publisher code.
    QStringList keys;
    for (int n = 2; n <= 7; ++n)
        keys << QStringLiteral("7-") + barcode.mid(4, n);
    return keys;
}

std::optional<PublisherMatch> BookEntry::BarCodeFindPub(const QString& barcode) const
{
    const QStringList keys = publisherKeys(barcode);
    QVariantList values;
    QStringList marks;
    for (const QString& k : keys) {
        values << k;
        marks << QStringLiteral("?");
    }
    QSqlQuery q = db_.query(QStringLiteral("select 出版社名, ISBN from 出版社名 where ISBN in (%1)")
                                .arg(marks.join(QLatin1Char(','))),
                            values);
    // The first row found for each prefix; the shortest prefix that has one wins.
    QHash<QString, PublisherMatch> found;
    while (q.next()) {
        const QString isbn = DbValue::toText(q.value(1));
        if (!found.contains(isbn))
            found.insert(isbn, PublisherMatch{DbValue::toText(q.value(0)), isbn});
    }
    for (const QString& k : keys)
        if (found.contains(k))
            return found.value(k);
    return std::nullopt;
}

bool BookEntry::barcodeExists(const QString& barcode) const
{
    return db_
        .scalar(db_.limited(QStringLiteral("select 1 from 图书 where 条形码 = ?"), 1),
                {barcode.trimmed()})
        .isValid();
}

std::optional<QString> BookEntry::duplicateBarcodeHint(const QString& barcode) const
{
    if (LoginState::instance().BcCc != QLatin1String("1") || !barcodeExists(barcode))
        return std::nullopt;
    return kDuplicateBarcodeText;
}

std::optional<CallNumber> BookEntry::callNumber(const QString& classNumber) const
{
    // The class number as typed, blanks included.
    const QString& cls = classNumber;
    if (cls.isEmpty())
        return std::nullopt;
    // max() skips books without a 种次号, so such a book never restarts the numbering.
    const QVariant highest =
        db_.scalar(QStringLiteral("select max(zch) from 图书 where 分类号 = ?"), {cls});
    bool ok = false;
    const int n = highest.isNull() ? 0 : highest.toInt(&ok);
    const int next = (ok && n >= 1) ? n + 1 : 1;
    return CallNumber{cls + QLatin1Char('/') + QString::number(next), QString::number(next)};
}

QString BookEntry::pinyin(const QString& title)
{
    return PinyinInitials(title);
}

bool BookEntry::requiredFieldsFilled(const BookRecord& r)
{
    for (const QString* f : {&r.编号, &r.名称, &r.条形码, &r.数量, &r.物品级别, &r.价格})
        if (f->isEmpty())
            return false;
    return true;
}

bool BookEntry::hasTmpA() const
{
    return db_.handle().record(QStringLiteral("图书")).indexOf(QStringLiteral("TmpA")) >= 0;
}

BookEntry::SaveResult BookEntry::save(const BookRecord& r) const
{
    if (!requiredFieldsFilled(r))
        return {SaveStatus::MissingField, kMissingFieldsText};
    try {
        const QString level = r.物品级别.trimmed();
        const bool donation = r.来源.trimmed() == kDonation;
        const QString price = r.价格.trimmed();
        const QVariant amount =
            QVariant::fromValue(price.isEmpty() ? Money() : DbValue::toMoney(QVariant(price)));
        QStringList columns{
            QStringLiteral("编号"),     QStringLiteral("名称"),     QStringLiteral("条形码"),
            QStringLiteral("索书号"),   QStringLiteral("分类号"),   QStringLiteral("zch"),
            QStringLiteral("数量"),     QStringLiteral("分类"),     QStringLiteral("二级分类"),
            QStringLiteral("出版社"),   QStringLiteral("存放位置"), QStringLiteral("物品级别"),
            QStringLiteral("价格"),     QStringLiteral("币种"),     QStringLiteral("作者"),
            QStringLiteral("译者"),     QStringLiteral("出版时间"), QStringLiteral("isbn"),
            QStringLiteral("密级"),     QStringLiteral("附件"),     QStringLiteral("版次"),
            QStringLiteral("图片地址"), QStringLiteral("绝对地址"), QStringLiteral("py"),
            QStringLiteral("页数"),     QStringLiteral("简介"),     QStringLiteral("来源"),
            QStringLiteral("捐赠人"),   QStringLiteral("入库时间"), QStringLiteral("借出次数"),
            QStringLiteral("状态"),     QStringLiteral("登记人")};
        QVariantList values{
            trimmed(r.编号),
            trimmed(r.名称),
            trimmed(r.条形码),
            trimmed(r.索书号),
            trimmed(r.分类号),
            r.zch.trimmed().isEmpty() ? QVariant(QMetaType::fromType<int>())
                                      : integerField(r.zch, {}),
            integerField(r.数量, {}),
            trimmed(r.分类),
            trimmed(r.二级分类),
            trimmed(r.出版社),
            trimmed(r.存放位置),
            level.isEmpty() ? kDefaultItemLevel : level,
            amount,
            trimmed(r.币种),
            trimmed(r.作者),
            trimmed(r.译者),
            r.出版时间.isValid() ? QVariant(r.出版时间.toString(QStringLiteral("yyyy-MM-dd")))
                                 : kNullText,
            trimmed(r.isbn),
            trimmed(r.密级),
            trimmed(r.附件),
            trimmed(r.版次),
            r.电子文档,
            r.电子文档,
            trimmed(r.py),
            integerField(r.页数, 0),
            trimmed(r.简介),
            trimmed(r.来源),
            donation && !r.捐赠人.trimmed().isEmpty() ? trimmed(r.捐赠人) : kNullText,
            Clock::today(),
            0,
            trimmed(r.状态),
            LoginState::instance().OperatorName,
        };
        if (hasTmpA()) {
            columns << QStringLiteral("TmpA");
            values << Clock::now().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")) +
                          QStringLiteral("+A");
        }
        QStringList marks;
        for (int i = 0; i < columns.size(); ++i)
            marks << QStringLiteral("?");
        db_.execute(QStringLiteral("insert into 图书 (%1) values (%2)")
                        .arg(columns.join(QLatin1Char(',')), marks.join(QLatin1Char(','))),
                    values);
    } catch (const DbError& e) {
        return {SaveStatus::Refused, e.message()};
    }
    return {SaveStatus::Saved, kSavedText};
}
