#include "ReaderPortal.h"

#include "app/LoginRules.h"
#include "circulation/Lending.h"
#include "circulation/Renewal.h"
#include "data/Clock.h"
#include "data/ListSearch.h"

#include <QCryptographicHash>
#include <QSqlQuery>
#include <algorithm>

namespace {

const QString kNo = QStringLiteral("否");
const QString kYes = QStringLiteral("是");

// "limit/offset" of one page, the values appended to the statement's own in their order.
QString pageClause(int page, QVariantList& values)
{
    const int offset = (page - 1) * ReaderPortal::kPageSize;
    values << ReaderPortal::kPageSize << offset;
    return QStringLiteral(" limit ? offset ?");
}

int clampedPage(int page)
{
    return std::clamp(page, 1, ReaderPortal::kMaxPage);
}

int pageCount(int total)
{
    return std::max(1, (total + ReaderPortal::kPageSize - 1) / ReaderPortal::kPageSize);
}

// The rows of one table the catalogue search finds, through its text index.
ListSearch::Source foundIn(const Database& db, const QString& table, const QString& text)
{
    return *ListSearch::anyColumnSource(db, table, text, nullptr);
}

// The keys of the rows found, in their order, as far as one more than the pages can show:
// the count and the page come from one walk along the index.
QVariantList foundKeys(const Database& db, const ListSearch::Source& found)
{
    QVariantList values = found.statement.values;
    values << ReaderPortal::kMostCounted + 1;
    QSqlQuery q = db.query(
        QStringLiteral("select %1 %2 order by %1 limit ?").arg(found.order, found.statement.sql),
        values);
    QVariantList keys;
    while (q.next())
        keys << q.value(0);
    return keys;
}

std::optional<Money> moneyOrNull(const QVariant& v)
{
    return v.isNull() ? std::nullopt : Money::fromVariant(v);
}

QByteArray passwordDigest(const QString& password)
{
    return QCryptographicHash::hash(password.toUtf8(), QCryptographicHash::Sha256);
}

} // namespace

QString itemKindCode(ItemKind kind)
{
    return kind == ItemKind::Book ? QStringLiteral("book") : QStringLiteral("periodical");
}

std::optional<ItemKind> itemKindFromCode(const QString& code)
{
    if (code == QStringLiteral("book"))
        return ItemKind::Book;
    if (code == QStringLiteral("periodical"))
        return ItemKind::Periodical;
    return std::nullopt;
}

QString itemKindTable(ItemKind kind)
{
    return kind == ItemKind::Book ? QStringLiteral("图书") : QStringLiteral("期刊");
}

QString PortalText::renewalNotLater(const QDate& due)
{
    return QStringLiteral("该借阅的应还日期是 ") + due.toString(QStringLiteral("yyyy-MM-dd")) +
           QStringLiteral(",读者类别的借阅天数为0,续借不会延后应还日期.");
}

LibrarySettings ReaderPortal::settings() const
{
    LoginState state;
    LoginRules(db_, state).readLibrarySettings();
    return state.settings;
}

QString ReaderPortal::webNotice() const
{
    QSqlQuery q = db_.query(db_.limited(QStringLiteral("select WebNotice from 系统设置"), 1));
    return q.next() ? DbValue::toText(q.value(0)) : QString();
}

CataloguePage ReaderPortal::search(const QString& text, int page) const
{
    CataloguePage result;
    result.page = clampedPage(page);
    const QString searched = text.trimmed();
    if (searched.isEmpty())
        return result;

    // Books first, then periodicals, each in the order their search pages without a sort.
    const ListSearch::Source books = foundIn(db_, QStringLiteral("图书"), searched);
    const ListSearch::Source periodicals = foundIn(db_, QStringLiteral("期刊"), searched);
    const QVariantList bookKeys = foundKeys(db_, books);
    const QVariantList periodicalKeys =
        bookKeys.size() > kMostCounted ? QVariantList() : foundKeys(db_, periodicals);
    const int bookCount = int(bookKeys.size());
    const int found = bookCount + int(periodicalKeys.size());
    result.total = std::min(found, kMostCounted);
    result.more = found > kMostCounted;
    result.pages = pageCount(result.total);
    if (result.page > result.pages)
        return result;

    const int offset = (result.page - 1) * kPageSize;
    const auto read = [&](const QString& table, const ListSearch::Source& source,
                          const QVariantList& keys, const QString& columns, ItemKind kind) {
        if (keys.isEmpty())
            return;
        const QString marks = QStringLiteral("?,").repeated(keys.size()).chopped(1);
        QSqlQuery q = db_.query(QStringLiteral("select %1 from %2 where %3 in (%4) order by %3")
                                    .arg(columns, table, source.key, marks),
                                keys);
        while (q.next()) {
            CatalogueHit h;
            h.kind = kind;
            h.编号 = DbValue::toText(q.value(0));
            h.名称 = DbValue::toText(q.value(1));
            h.作者 = DbValue::toText(q.value(2));
            h.出版社 = DbValue::toText(q.value(3));
            h.isbn = DbValue::toText(q.value(4));
            h.索书号 = DbValue::toText(q.value(5));
            h.存放位置 = DbValue::toText(q.value(6));
            h.数量 = q.value(7).toInt();
            result.hits << h;
        }
    };
    read(QStringLiteral("图书"), books, bookKeys.mid(offset, kPageSize),
         QStringLiteral("编号, 名称, 作者, 出版社, isbn, 索书号, 存放位置, 数量"), ItemKind::Book);
    const int left = kPageSize - int(result.hits.size());
    if (left > 0)
        read(QStringLiteral("期刊"), periodicals,
             periodicalKeys.mid(std::max(0, offset - bookCount), left),
             QStringLiteral("编号, 名称, null, 出版社, issn, null, 存放位置, 数量"),
             ItemKind::Periodical);
    return result;
}

std::optional<CatalogueItem> ReaderPortal::item(ItemKind kind, const QString& number) const
{
    // label, column; the first four are read apart.
    static const QList<QPair<QString, QString>> bookFields = {
        {QStringLiteral("作者"), QStringLiteral("作者")},
        {QStringLiteral("译者"), QStringLiteral("译者")},
        {QStringLiteral("出版社"), QStringLiteral("出版社")},
        {QStringLiteral("出版时间"), QStringLiteral("出版时间")},
        {QStringLiteral("版次"), QStringLiteral("版次")},
        {QStringLiteral("ISBN"), QStringLiteral("isbn")},
        {QStringLiteral("分类"), QStringLiteral("分类")},
        {QStringLiteral("索书号"), QStringLiteral("索书号")},
        {QStringLiteral("页数"), QStringLiteral("页数")},
        {QStringLiteral("简介"), QStringLiteral("简介")},
    };
    static const QList<QPair<QString, QString>> periodicalFields = {
        {QStringLiteral("出版社"), QStringLiteral("出版社")},
        {QStringLiteral("ISSN"), QStringLiteral("issn")},
        {QStringLiteral("国内统一刊号"), QStringLiteral("国内统一刊号")},
        {QStringLiteral("第几期"), QStringLiteral("第几期")},
        {QStringLiteral("总第几期"), QStringLiteral("总第几期")},
        {QStringLiteral("出版时间"), QStringLiteral("出版时间")},
        {QStringLiteral("分类"), QStringLiteral("分类")},
        {QStringLiteral("简介"), QStringLiteral("简介")},
    };
    const auto& fields = kind == ItemKind::Book ? bookFields : periodicalFields;
    QStringList columns = {QStringLiteral("名称"), QStringLiteral("数量"),
                           QStringLiteral("存放位置"), QStringLiteral("状态"),
                           QStringLiteral("预定状况")};
    for (const auto& f : fields)
        columns << f.second;
    QSqlQuery q = db_.query(QStringLiteral("select %1 from %2 where 编号 = ?")
                                .arg(columns.join(QStringLiteral(", ")), itemKindTable(kind)),
                            {number});
    if (!q.next())
        return std::nullopt;
    CatalogueItem it;
    it.kind = kind;
    it.编号 = number;
    it.名称 = DbValue::toText(q.value(0));
    it.数量 = q.value(1).toInt();
    it.存放位置 = DbValue::toText(q.value(2));
    it.状态 = DbValue::toText(q.value(3));
    it.reserved = !q.value(4).isNull();
    for (int i = 0; i < fields.size(); ++i) {
        const QString value = DbValue::toText(q.value(5 + i));
        if (!value.isEmpty())
            it.fields << qMakePair(fields[i].first, value);
    }
    return it;
}

bool ReaderPortal::sameBytes(const QByteArray& a, const QByteArray& b)
{
    const qsizetype n = std::max(a.size(), b.size());
    unsigned char diff = a.size() == b.size() ? 0 : 1;
    for (qsizetype i = 0; i < n; ++i) {
        const unsigned char x = i < a.size() ? static_cast<unsigned char>(a[i]) : 0;
        const unsigned char y = i < b.size() ? static_cast<unsigned char>(b[i]) : 0;
        diff |= x ^ y;
    }
    return diff == 0;
}

bool ReaderPortal::passwordMatches(const QString& readerNumber, const QString& password) const
{
    QSqlQuery q =
        db_.query(QStringLiteral("select 密码 from 读者库 where 读者编号 = ?"), {readerNumber});
    const bool found = q.next();
    const QString stored = found ? DbValue::toText(q.value(0)) : QString();
    // Digests of equal length, so the comparison takes the same time for every stored text,
    // an unknown reader included.
    const bool same = sameBytes(passwordDigest(stored), passwordDigest(password));
    return found && !password.isEmpty() && same;
}

QString ReaderPortal::readerRefusal(const QString& readerNumber, const LibrarySettings& settings,
                                    int* loanDays) const
{
    Lending lending(db_);
    lending.settings() = settings;
    const ReaderCheck check = lending.RdSearch(readerNumber);
    if (!check.passed)
        return check.message;
    if (loanDays)
        *loanDays = check.category->借阅天数;
    return {};
}

std::optional<PortalAccount> ReaderPortal::account(const QString& readerNumber) const
{
    QSqlQuery q =
        db_.query(QStringLiteral("select 读者编号, 读者姓名, 类别, 状态, 有效期, 卡内金额, "
                                 "累计借阅次数 from 读者库 where 读者编号 = ?"),
                  {readerNumber});
    if (!q.next())
        return std::nullopt;
    const LibrarySettings s = settings();
    PortalAccount a;
    a.读者编号 = DbValue::toText(q.value(0));
    a.读者姓名 = DbValue::toText(q.value(1));
    a.类别 = DbValue::toText(q.value(2));
    a.状态 = DbValue::toText(q.value(3));
    a.有效期 = DbValue::dateOrNull(q.value(4));
    a.卡内金额 = Money::fromVariant(q.value(5)).value_or(Money());
    a.累计借阅次数 = q.value(6).toInt();
    q = QSqlQuery();
    a.reservationsOn = s.启用预定功能;
    a.rentOn = s.启用租金功能;
    a.fineOn = s.启用超期罚金;
    a.blockedReason = readerRefusal(readerNumber, s);

    Returning returning(db_);
    returning.settings() = s;
    const ReturnSearch open = returning.search({}, {}, readerNumber);
    for (const OpenLoan& loan : open.loans) {
        PortalLoan p;
        p.loan = loan;
        p.figures = returning.compute(loan);
        p.charge = returning.charge(p.figures);
        a.totalCharge += p.charge;
        a.loans << p;
    }
    if (s.启用预定功能)
        Reservations::clearExpired(db_);
    a.reservations = Reservations::heldBy(db_, readerNumber);
    return a;
}

HistoryPage ReaderPortal::history(const QString& readerNumber, int page) const
{
    HistoryPage h;
    h.page = clampedPage(page);
    h.total = DbValue::toInt(
        db_.scalar(QStringLiteral("select count(*) from 借出记录 where 读者编号 = ? and 已还 = ?"),
                   {readerNumber, kYes}));
    h.pages = pageCount(h.total);
    QVariantList values{readerNumber, kYes};
    QString sql = QStringLiteral("select 名称, 编号, 类别, 借阅日期, 归还日期, 实际租金, 罚金 from "
                                 "借出记录 where 读者编号 = ? and 已还 = ? order by id desc");
    sql += pageClause(h.page, values);
    QSqlQuery q = db_.query(sql, values);
    while (q.next()) {
        HistoryLoan l;
        l.名称 = DbValue::toText(q.value(0));
        l.编号 = DbValue::toText(q.value(1));
        l.类别 = DbValue::toText(q.value(2));
        l.借阅日期 = DbValue::dateOrNull(q.value(3));
        l.归还日期 = DbValue::dateOrNull(q.value(4));
        l.实际租金 = moneyOrNull(q.value(5));
        l.罚金 = moneyOrNull(q.value(6));
        h.loans << l;
    }
    return h;
}

RuleResult ReaderPortal::renew(const QString& readerNumber, const QString& itemNumber) const
{
    try {
        const LibrarySettings s = settings();
        int loanDays = 0;
        const QString refusal = readerRefusal(readerNumber, s, &loanDays);
        if (!refusal.isEmpty())
            return RuleResult::refused(refusal);
        Renewal renewal(db_);
        if (!renewal.find(readerNumber, itemNumber))
            return RuleResult::refused(Renewal::notFoundMessage());
        if (s.启用预定功能 && reservedByOther(renewal.loan()->id, readerNumber))
            return RuleResult::refused(PortalText::RenewalReserved);
        const QDate due = renewal.loan()->应还日期;
        const QDate newDue = due.addDays(loanDays);
        if (newDue <= due)
            return RuleResult::refused(PortalText::renewalNotLater(due));
        renewal.renew(newDue);
        return RuleResult::written({Renewal::doneMessage()});
    } catch (const DbError& e) {
        return RuleResult::failed(e.message());
    }
}

bool ReaderPortal::reservedByOther(qint64 loanId, const QString& readerNumber) const
{
    Reservations::clearExpired(db_);
    const QString kind = DbValue::toText(
        db_.scalar(QStringLiteral("select 类别 from 借出记录 where id = ?"), {loanId}));
    if (kind != itemKindTable(ItemKind::Book) && kind != itemKindTable(ItemKind::Periodical))
        return false;
    const QVariant holder = db_.scalar(
        QStringLiteral(
            "select i.预定状况 from %1 i join 借出记录 l on l.编号 = i.编号 where l.id = ?")
            .arg(kind),
        {loanId});
    return !holder.isNull() && holder.toString() != readerNumber;
}

RuleResult ReaderPortal::reserve(const QString& readerNumber, const QString& bookNumber) const
{
    try {
        const LibrarySettings s = settings();
        if (!s.启用预定功能)
            return RuleResult::refused(ReservationText::Off);
        const QString refusal = readerRefusal(readerNumber, s);
        if (!refusal.isEmpty())
            return RuleResult::refused(refusal);
        return Reservations::place(db_, s, readerNumber, bookNumber);
    } catch (const DbError& e) {
        return RuleResult::failed(e.message());
    }
}

RuleResult ReaderPortal::cancelReservation(const QString& readerNumber,
                                           const QString& bookNumber) const
{
    return Reservations::cancel(db_, readerNumber, bookNumber);
}

RuleResult ReaderPortal::changePassword(const QString& readerNumber, const QString& oldPassword,
                                        const QString& newPassword,
                                        const QString& confirmation) const
{
    try {
        if (!passwordMatches(readerNumber, oldPassword))
            return RuleResult::refused(PortalText::WrongOldPassword);
        if (newPassword.isEmpty())
            return RuleResult::refused(PortalText::EmptyPassword);
        if (newPassword != confirmation)
            return RuleResult::refused(PortalText::Mismatch);
    } catch (const DbError& e) {
        return RuleResult::failed(e.message());
    }
    RuleResult r = RuleResult::transaction(db_, [&]() -> QString {
        return db_.execute(QStringLiteral("update 读者库 set 密码 = ? where 读者编号 = ?"),
                           {newPassword, readerNumber}) == 1
                   ? QString()
                   : PortalText::NoReader;
    });
    if (r.done())
        r.messages = {PortalText::PasswordChanged};
    return r;
}
