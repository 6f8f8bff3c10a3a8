#include "Lending.h"

#include <algorithm>

#include "PosPrinter.h"
#include "Reservations.h"
#include "data/Clock.h"

#include <QSqlQuery>
#include <QVariant>

namespace {
const QString kBooks = QStringLiteral("图书");
const QString kPeriodicals = QStringLiteral("期刊");
const QString kByNumber = QStringLiteral("编号");
const QString kByBarcode = QStringLiteral("条形码");

QChar quote()
{
    return QLatin1Char('"');
}

// Table names that may stand in the item SQL: only the two item tables.
QString itemTable(const QString& name)
{
    if (name == kBooks || name == kPeriodicals)
        return name;
    return {};
}

QString categoryValueMissing(const QString& category, const QString& column)
{
    return QStringLiteral("读者类别") + quote() + category + quote() + QStringLiteral("的") +
           column +
           QStringLiteral("没有设置或者不是有效的数字,请先去读者类别中设置好对应的类别及其参数");
}

QString levelValueMissing(const QString& level, const QString& column)
{
    return QStringLiteral("物品级别") + quote() + level + quote() + QStringLiteral("的") + column +
           QStringLiteral("没有设置或者不是有效的数字,请先去物品级别中设置好.");
}

QString levelLimitText(const QString& level)
{
    return QStringLiteral("已经超出物品级别中规定的（ ") + level +
           QStringLiteral(" ）的物品级别的可借数量，不能再借了!");
}

std::optional<int> optionalInt(const QVariant& v)
{
    if (v.isNull())
        return std::nullopt;
    bool ok = false;
    const int n = v.toInt(&ok);
    return ok ? std::optional<int>(n) : std::nullopt;
}
} // namespace

Lending::Lending(const Database& db)
    : db_(db), settings_(LoginState::instance().settings),
      operatorName_(LoginState::instance().OperatorName), table_(kBooks), key_(kByNumber)
{
}

QString Lending::printerPort() const
{
    return printerPort_ ? *printerPort_ : LoginState::instance().PosPort;
}

void Lending::reloadLoginState()
{
    const LoginState& login = LoginState::instance();
    settings_ = login.settings;
    operatorName_ = login.OperatorName;
}

void Lending::setTable(const QString& table)
{
    if (!itemTable(table).isEmpty())
        table_ = table;
}

void Lending::setKey(const QString& key)
{
    if (key == kByNumber || key == kByBarcode)
        key_ = key;
}

QString Lending::initialKey(const Database& db)
{
    QSqlQuery q = db.query(QStringLiteral("select 借阅焦点编号, 借阅焦点条形码 from 系统设置"));
    QString key = kByNumber;
    if (q.next()) {
        if (DbValue::toBool(q.value(0)))
            key = kByNumber;
        if (DbValue::toBool(q.value(1)))
            key = kByBarcode;
    }
    return key;
}

Money Lending::rentRule(const LibrarySettings& settings, Money categoryRent, Money levelRent)
{
    if (!settings.启用租金功能)
        return Money();
    return settings.启用读者租金 ? categoryRent : levelRent;
}

QString Lending::noReaderText()
{
    return QStringLiteral("没有该编号的读者资料,请检查输入的是否正确!");
}

QString Lending::noItemText(const QString& table)
{
    return QStringLiteral("没有找到该") + table + QStringLiteral("的数据,请重新输入.");
}

ReaderCheck Lending::RdSearch(const QString& readerNumber)
{
    ReaderCheck r;
    readerPassed_ = false;
    reader_.reset();
    category_.reset();
    try {
        QSqlQuery q = db_.query(QStringLiteral("select 读者编号, 读者姓名, 性别, 类别, 未还数量, "
                                               "卡内金额, 有效期, 累计借阅次数, 状态 from 读者库 "
                                               "where 读者编号 = ?"),
                                {readerNumber});
        if (!q.next()) {
            r.message = noReaderText();
            r.selectReaderText = true;
            return r;
        }
        LendingReader rd;
        rd.读者编号 = DbValue::toText(q.value(0));
        rd.读者姓名 = DbValue::toText(q.value(1));
        rd.性别 = DbValue::toText(q.value(2));
        rd.类别 = DbValue::toText(q.value(3));
        const std::optional<int> open = optionalInt(q.value(4));
        rd.未还数量 = open.value_or(0);
        rd.卡内金额 = Money::fromVariant(q.value(5)).value_or(Money());
        rd.有效期 = DbValue::dateOrNull(q.value(6));
        rd.累计借阅次数 = optionalInt(q.value(7)).value_or(0);
        rd.状态 = DbValue::toText(q.value(8));
        const QVariant validity = q.value(6);
        q = QSqlQuery();

        if (rd.状态 != QStringLiteral("正常")) {
            r.message = QStringLiteral("该用户状态是") + quote() + rd.状态 + quote() +
                        QStringLiteral(",所以不能使用,只有状态为") + quote() +
                        QStringLiteral("正常") + quote() + QStringLiteral("的用户才可用!");
            return r;
        }
        reader_ = rd;
        r.reader = rd;
        r.readerShown = true;
        if (settings_.启用读者有效期) {
            if (validity.isNull() || !rd.有效期.isValid()) {
                r.message = QStringLiteral("该读者没有有效期,不能借阅.");
                return r;
            }
            if (rd.有效期 < Clock::today()) {
                r.message = QStringLiteral("该读者有效期是: ") +
                            rd.有效期.toString(QStringLiteral("yyyy-MM-dd")) +
                            QStringLiteral(" ,已经超期,不能借阅.");
                return r;
            }
        }
        QSqlQuery c = db_.query(QStringLiteral("select 借阅数量限制, 借阅天数, 租金 from 读者类别 "
                                               "where 类别名 = ?"),
                                {rd.类别});
        if (!c.next()) {
            r.message = QStringLiteral("读者类别中没有该读者类别,请先去读者类别中设置好对应的"
                                       "类别及其参数");
            return r;
        }
        const std::optional<int> limit = optionalInt(c.value(0));
        const std::optional<int> days = optionalInt(c.value(1));
        const std::optional<Money> rent = Money::fromVariant(c.value(2));
        if (!limit) {
            r.message = categoryValueMissing(rd.类别, QStringLiteral("借阅数量限制"));
            return r;
        }
        if (!days) {
            r.message = categoryValueMissing(rd.类别, QStringLiteral("借阅天数"));
            return r;
        }
        if (!rent) {
            r.message = categoryValueMissing(rd.类别, QStringLiteral("租金"));
            return r;
        }
        if (!open) {
            r.message = QStringLiteral("该读者的未还数量不是有效的数字,不能借阅.");
            return r;
        }
        category_ = LendingCategory{*limit, *days, *rent};
        r.category = category_;
        r.passed = true;
        readerPassed_ = true;
    } catch (const DbError& e) {
        r.message = e.message();
        r.passed = false;
    }
    return r;
}

ItemCheck Lending::bksearch(const QString& itemText)
{
    ItemCheck c;
    if (!readerPassed_ || !reader_ || !category_) {
        c.message = QStringLiteral("请先查询确定读者身份.");
        return c;
    }
    try {
        if (settings_.启用预定功能)
            Reservations::clearExpired(db_);
        QSqlQuery q = db_.query(QStringLiteral("select 编号, 名称, 条形码, 分类, 数量, 存放位置, "
                                               "出版社, 价格, 状态, 预定状况, 物品级别 from %1 "
                                               "where %2 = ?")
                                    .arg(table_, key_),
                                {itemText});
        if (!q.next()) {
            item_.reset();
            c.message = noItemText(table_);
            c.selectItemText = true;
            return c;
        }
        LendingItem it;
        it.table = table_;
        it.编号 = DbValue::toText(q.value(0));
        it.名称 = DbValue::toText(q.value(1));
        it.条形码 = DbValue::toText(q.value(2));
        it.分类 = DbValue::toText(q.value(3));
        const std::optional<int> copies = optionalInt(q.value(4));
        it.数量 = copies.value_or(0);
        it.存放位置 = DbValue::toText(q.value(5));
        it.出版社 = DbValue::toText(q.value(6));
        it.价格 = Money::fromVariant(q.value(7)).value_or(Money());
        it.状态 = DbValue::toText(q.value(8));
        it.预定状况 = DbValue::toText(q.value(9));
        const bool reserved = !q.value(9).isNull();
        it.hasLevel = !q.value(10).isNull();
        it.物品级别 = DbValue::toText(q.value(10));
        q = QSqlQuery();
        item_ = it;
        c.item = it;

        if (!copies || *copies <= 0) {
            c.message = QStringLiteral("数量不足.");
            return c;
        }
        if (it.状态 == QStringLiteral("不外借")) {
            c.message = QStringLiteral("该资料不外借,请与图书馆管理员联系!");
            return c;
        }
        if (settings_.启用预定功能 && reserved && it.预定状况 != reader_->读者编号) {
            c.message = QStringLiteral("该图书已经被读者编号为: (") + it.预定状况 +
                        QStringLiteral(") 的读者预定了，您不能借.");
            return c;
        }

        int levelLimit = 0;
        int openOfLevel = 0;
        if (it.hasLevel) {
            QSqlQuery l =
                db_.query(QStringLiteral("select 租金, 可借数量 from 物品级别 where 名称 = ?"),
                          {it.物品级别});
            if (l.next()) {
                const std::optional<Money> rent = Money::fromVariant(l.value(0));
                const std::optional<int> limit = optionalInt(l.value(1));
                if (!rent) {
                    c.message = levelValueMissing(it.物品级别, QStringLiteral("租金"));
                    return c;
                }
                if (!limit) {
                    c.message = levelValueMissing(it.物品级别, QStringLiteral("可借数量"));
                    return c;
                }
                it.levelRent = *rent;
                levelLimit = *limit;
                item_ = it;
                c.item = it;
            }
            l = QSqlQuery();
            // Counting the reader's open loans costs with their number: only a limit needs it.
            if (levelLimit > 0)
                openOfLevel =
                    db_.scalar(QStringLiteral("select count(*) from 借出记录 where 已还 = ? "
                                              "and 读者编号 = ? and 物品级别 = ?"),
                               {QStringLiteral("否"), reader_->读者编号, it.物品级别})
                        .toInt();
            if (levelLimit > 0 && openOfLevel >= levelLimit) {
                c.message = levelLimitText(it.物品级别);
                return c;
            }
        }

        int sameLevel = 0;
        for (const LendingListRow& row : std::as_const(list_)) {
            if (row.编号 == it.编号) {
                c.message = QStringLiteral("已经重复添加过了.");
                return c;
            }
            if (row.物品级别.trimmed() == it.物品级别.trimmed())
                ++sameLevel;
            if (levelLimit > 0 && openOfLevel + sameLevel >= levelLimit) {
                c.message = levelLimitText(it.物品级别);
                return c;
            }
        }

        LendingListRow row;
        row.编号 = it.编号;
        row.条形码 = it.条形码;
        row.名称 = it.名称;
        row.类别 = table_;
        row.天数 = category_->借阅天数;
        row.租金 = rentRule(settings_, category_->租金, it.levelRent);
        row.物品级别 = it.物品级别;
        list_.append(row);
        c.added = true;
        c.selectItemText = true;

        if (settings_.借阅数量限制功能 &&
            list_.size() > category_->借阅数量限制 - reader_->未还数量) {
            c.message = QStringLiteral("提示:该读者超过借阅数量!");
            c.warning = true;
        }
    } catch (const DbError& e) {
        c.message = e.message();
    }
    return c;
}

QString Lending::removeQuestion(int row) const
{
    if (row < 0 || row >= list_.size())
        return {};
    const LendingListRow& r = list_.at(row);
    return QStringLiteral("您是否要删除") + quote() + QLatin1Char(' ') + r.编号 + quote() +
           QLatin1Char(',') + quote() + r.名称 + quote();
}

bool Lending::removeRow(int row)
{
    if (row < 0 || row >= list_.size())
        return false;
    list_.removeAt(row);
    return true;
}

void Lending::CleanData()
{
    list_.clear();
    reader_.reset();
    category_.reset();
    item_.reset();
    readerPassed_ = false;
}

CommitResult Lending::commit(bool printReceipt)
{
    CommitResult r;
    if (list_.isEmpty()) {
        r.nothing = true;
        return r;
    }
    if (!readerPassed_ || !reader_ || !category_) {
        r.message = QStringLiteral("请先查询确定读者身份,读者通过检查后才能借出.");
        return r;
    }
    const QDate today = Clock::today();
    const QDate due = today.addDays(category_->借阅天数);
    const LendingReader reader = *reader_;
    QStringList titles;
    QVariant lastLoanId;
    try {
        db_.transaction(
            [&] {
                // Rows are locked reader first, then the items in a fixed order (table, 编号),
                // the order returning keeps too, so that two desks never deadlock each other.
                if (db_.execute(QStringLiteral("update 读者库 set 未还数量 = 未还数量 + ?, "
                                               "累计借阅次数 = coalesce(累计借阅次数, 0) + ? "
                                               "where 读者编号 = ?"),
                                {int(list_.size()), int(list_.size()), reader.读者编号}) != 1)
                    throw DbError(noReaderText() + QStringLiteral("\n没有借出任何物品."));

                QList<const LendingListRow*> lockOrder;
                for (const LendingListRow& row : std::as_const(list_))
                    lockOrder << &row;
                std::stable_sort(lockOrder.begin(), lockOrder.end(), [&](auto* a, auto* b) {
                    return std::pair(itemTable(a->类别), a->编号) <
                           std::pair(itemTable(b->类别), b->编号);
                });
                struct Item
                {
                    QVariantList values; // 编号, 名称, 条形码, 物品级别, 价格
                    QString title;
                };
                QHash<QString, Item> items;
                for (const LendingListRow* row : std::as_const(lockOrder)) {
                    const QString table = itemTable(row->类别);
                    const QString missing = noItemText(row->类别) + QStringLiteral(" (") +
                                            row->编号 + QStringLiteral(")\n没有借出任何物品.");
                    if (table.isEmpty())
                        throw DbError(missing);
                    if (db_.execute(
                            QStringLiteral("update %1 set 数量 = 数量 - 1, 借出次数 = "
                                           "coalesce(借出次数, 0) + 1, 预定状况 = null, "
                                           "预定到期时间 = null where 编号 = ? and 数量 > 0")
                                .arg(table),
                            {row->编号}) != 1) {
                        const QVariant title = db_.scalar(
                            QStringLiteral("select 名称 from %1 where 编号 = ?").arg(table),
                            {row->编号});
                        if (!title.isValid())
                            throw DbError(missing);
                        throw DbError(QStringLiteral("%1 (%2) 数量不足.\n没有借出任何物品.")
                                          .arg(DbValue::toText(title), row->编号));
                    }
                    const QString key = table + QLatin1Char('\n') + row->编号;
                    QSqlQuery q =
                        db_.query(QStringLiteral("select 编号, 名称, 条形码, 物品级别, 价格 "
                                                 "from %1 where 编号 = ?")
                                      .arg(table),
                                  {row->编号});
                    if (!q.next())
                        throw DbError(missing);
                    Item item;
                    item.title = DbValue::toText(q.value(1));
                    item.values = {q.value(0), item.title, q.value(2), q.value(3),
                                   q.value(4).isNull()
                                       ? QVariant()
                                       : QVariant::fromValue(DbValue::toMoney(q.value(4)))};
                    items.insert(key, item);
                }

                // The loan rows follow the order of the lending list.
                for (const LendingListRow& row : std::as_const(list_)) {
                    const QString table = itemTable(row.类别);
                    const Item& item = items[table + QLatin1Char('\n') + row.编号];
                    db_.execute(
                        QStringLiteral("insert into 借出记录 (读者编号, 读者姓名, 编号, 名称, "
                                       "条形码, 类别, 物品级别, 价格, 租金, 借阅日期, 应还日期, "
                                       "借阅经手人, 已还, 物品状况) values (?, ?, ?, ?, ?, ?, "
                                       "?, ?, ?, ?, ?, ?, ?, ?)"),
                        {reader.读者编号, reader.读者姓名, item.values[0], item.title,
                         item.values[2], table, item.values[3], item.values[4],
                         QVariant::fromValue(row.租金), today, due, operatorName_,
                         QStringLiteral("否"), QStringLiteral("完好")});
                    titles << item.title;
                }
                // The last loan row written: if the connection breaks while the COMMIT is under
                // way, its presence tells whether the server stored the loan.
                lastLoanId =
                    db_.scalar(QStringLiteral("select max(id) from 借出记录 where 读者编号 "
                                              "= ? and 编号 = ?"),
                               {reader.读者编号, list_.last().编号});
            },
            [&] {
                return db_.scalar(QStringLiteral("select count(*) from 借出记录 where id = ?"),
                                  {lastLoanId})
                           .toInt() == 1;
            });
    } catch (const DbError& e) {
        r.message = e.message();
        return r;
    }
    r.done = true;
    r.lent = int(titles.size());
    r.message = QStringLiteral("借阅完毕!");
    CleanData();
    if (printReceipt)
        PosPrinter::printReceipt(printerPort(), settings_.图书馆名, titles, Clock::now(),
                                 operatorName_, &r.receiptError);
    return r;
}
