// Small rows for the circulation tests: readers, categories, levels, books and periodicals
// written straight into a test library, and the fixed clock every test starts from.
#pragma once

#include "../common/RecordingMessenger.h"
#include "../common/TestLibrary.h"
#include "data/Clock.h"
#include "data/Database.h"
#include "data/LoginState.h"

#include <QDate>
#include <QDateTime>
#include <QVariant>

namespace Fixture {

// Monday 2026-03-02, 10:00: the "today" of every circulation test.
inline QDateTime fixedNow()
{
    return QDateTime(QDate(2026, 3, 2), QTime(10, 0));
}
inline QDate today()
{
    return fixedNow().date();
}

inline void fixClock()
{
    Clock::setNow(fixedNow());
}

inline Money money(const char* text)
{
    return *Money::parse(QString::fromUtf8(text));
}
inline QVariant m(const char* text)
{
    return QVariant::fromValue(money(text));
}

inline void addCategory(const Database& db, const QString& name, const QVariant& days,
                        const QVariant& limit, const QVariant& rent)
{
    db.execute(
        QStringLiteral("insert into 读者类别 (类别名, 借阅天数, 借阅数量限制, 租金) values (?, ?, "
                       "?, ?)"),
        {name, days, limit, rent});
}

inline void addLevel(const Database& db, const QString& name, const QVariant& rent,
                     const QVariant& limit)
{
    db.execute(QStringLiteral("insert into 物品级别 (名称, 租金, 可借数量) values (?, ?, ?)"),
               {name, rent, limit});
}

struct Reader
{
    QString number = QStringLiteral("R1");
    QString name = QStringLiteral("张三");
    QString category = QStringLiteral("学生");
    QVariant status = QStringLiteral("正常");
    QVariant validUntil = QDate(2500, 1, 1);
    int open = 0;
    QVariant balance = QVariant::fromValue(Money());
};

inline void addReader(const Database& db, const Reader& r)
{
    db.execute(
        QStringLiteral("insert into 读者库 (读者编号, 读者姓名, 性别, 类别, 有效期, 状态, "
                       "未还数量, 累计借阅次数, 卡内金额) values (?, ?, ?, ?, ?, ?, ?, 0, ?)"),
        {r.number, r.name, QStringLiteral("男"), r.category, r.validUntil, r.status, r.open,
         r.balance});
}

struct Item
{
    QString table = QStringLiteral("图书");
    QString number = QStringLiteral("B1");
    QString title = QStringLiteral("三国");
    QString barcode = QStringLiteral("690001");
    int copies = 1;
    QString status = QStringLiteral("正常");
    QVariant level; // NULL = no level
    QVariant reservedBy;
    QVariant reservedUntil;
    QString place = QStringLiteral("二楼书库");
};

inline void addItem(const Database& db, const Item& it)
{
    db.execute(
        QStringLiteral("insert into %1 (编号, 名称, 条形码, 数量, 状态, 物品级别, 预定状况, "
                       "预定到期时间, 价格, 存放位置, 借出次数) values (?, ?, ?, ?, ?, ?, ?, ?, "
                       "?, ?, 0)")
            .arg(it.table),
        {it.number, it.title, it.barcode, it.copies, it.status, it.level, it.reservedBy,
         it.reservedUntil, m("25.5"), it.place});
}

// An open loan as lending writes it.
struct Loan
{
    QString reader = QStringLiteral("R1");
    QString readerName = QStringLiteral("张三");
    QString item = QStringLiteral("B1");
    QString title = QStringLiteral("三国");
    QString barcode = QStringLiteral("690001");
    QString table = QStringLiteral("图书");
    QVariant level;
    QDate lent;
    QDate due;
    QVariant rent = QVariant::fromValue(Money());
};

inline int addLoan(const Database& db, const Loan& l)
{
    db.execute(
        QStringLiteral("insert into 借出记录 (读者编号, 读者姓名, 编号, 名称, 条形码, 类别, "
                       "物品级别, 租金, 借阅日期, 应还日期, 借阅经手人, 已还, 物品状况) values "
                       "(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
        {l.reader, l.readerName, l.item, l.title, l.barcode, l.table, l.level, l.rent, l.lent,
         l.due, QStringLiteral("甲"), QStringLiteral("否"), QStringLiteral("完好")});
    return db.scalar(QStringLiteral("select max(id) from 借出记录")).toInt();
}

inline int intOf(const Database& db, const QString& sql, const QVariantList& values = {})
{
    return DbValue::toInt(db.scalar(sql, values));
}

inline Money moneyOf(const Database& db, const QString& sql, const QVariantList& values = {})
{
    return DbValue::toMoney(db.scalar(sql, values));
}

// Library settings with every switch off.
inline LibrarySettings plainSettings()
{
    LibrarySettings s;
    s.图书馆名 = QStringLiteral("阳光图书馆");
    s.超期每日罚金 = money("0.1");
    return s;
}

// A new test library on the shared connection, the clock fixed at fixedNow() and the login
// state reset, with a messenger that records; everything is put back afterwards.
struct FixedDesk
{
    explicit FixedDesk(int engine) : lib(TestLibrary::Engine(engine))
    {
        LoginState::reset();
        fixClock();
    }
    ~FixedDesk()
    {
        LoginState::reset();
        Clock::setNow({});
    }
    Database& db() { return lib.db(); }
    TestLibrary lib;
    RecordingMessenger messenger;
};

} // namespace Fixture
