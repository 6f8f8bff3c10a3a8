// The rules of reader registration and editing: the defaults of a new reader, the lists
// the drop-downs offer, the checks, and the writes. What happened comes back as a result
// with its message texts; the screens show them.
#pragma once

#include "data/LoginState.h"
#include "data/Money.h"
#include "data/RuleResult.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>

class Database;

// What the operator types about a reader, as typed (untrimmed).
struct ReaderFields
{
    QString number;      // 读者编号
    QString name;        // 读者姓名
    QString gender;      // 性别
    QString category;    // 类别
    QString paperKind;   // 有效证件
    QString paperNumber; // 证件号码
    QString phone;       // 联系电话
    QDate validUntil;    // 有效期; invalid means no expiry
    QString className;   // 班级
    QString faculty;     // 院系
    QString department;  // 单位部门
    QString address;     // 住址
    QString remark;      // 备注

    bool operator==(const ReaderFields&) const = default;
};

// A stored reader as the editing screen shows it.
struct ReaderRecord
{
    ReaderFields fields;
    QDateTime registeredAt; // 登记日期; invalid when the row has none
    QString status;         // 状态
    int loans = 0;          // 累计借阅次数
    int onLoan = 0;         // 未还数量
    Money balance;          // 卡内金额
    QString pinyin;         // py
};

namespace ReaderText {
inline const QString Required = QStringLiteral("字体加重的项目必须填写!");
inline const QString Saved = QStringLiteral("保存完毕");
inline const QString OpeningFee = QStringLiteral("开户费");
inline const QString Active = QStringLiteral("正常");
inline const QString Male = QStringLiteral("男");
inline const QString Female = QStringLiteral("女");
inline const QString DefaultCategory = QStringLiteral("普通");
QString gone(const QString& number); // the reader no longer exists
} // namespace ReaderText

class ReaderRules
{
public:
    explicit ReaderRules(const Database& db, const LoginState& state = LoginState::instance());

    // "2500-01-01": a reader without expiry.
    static QDate noExpiry();
    static QStringList genders();
    // The fields of a new reader before anything is typed.
    static ReaderFields defaults();
    // The pinyin initials of a name, as the 拼音 field shows and py stores them.
    static QString pinyin(const QString& name);

    // The lists of the drop-downs, in the database's order. Throw DbError.
    QStringList categories() const;
    QStringList departments() const;
    QStringList paperKinds() const;

    // The library settings decide whether class and faculty are shown (and stored).
    bool showsClass() const { return state_.settings.显示班级; }
    bool showsFaculty() const { return state_.settings.显示院系; }

    // The message when a mandatory field (number, name, category) is empty, else empty.
    static QString missing(const ReaderFields& fields);

    // Registers a new reader and, when the library charges an opening fee, its income row,
    // both in one transaction. Done with "保存完毕", Refused when a mandatory field is empty,
    // or Failed with the database's text.
    RuleResult registerReader(const ReaderFields& fields) const;

    // The reader with this number; nullopt when there is none. Throws DbError.
    std::optional<ReaderRecord> load(const QString& number) const;
    // Writes the columns the operator changed, to the row that was loaded as loaded; the
    // counters and the balance, which the desk changes, are never written. Done (with no
    // message) when saved or when nothing changed; Refused when a mandatory field is empty
    // or the reader has gone; Failed with the database's text.
    RuleResult saveEdit(const ReaderRecord& loaded, const ReaderFields& edited,
                        const QDateTime& registeredAt) const;

private:
    // The fields to write (the mandatory ones checked by missing() first); class and
    // faculty, when the settings hide them, are taken from hidden.
    ReaderFields toStore(const ReaderFields& typed, const ReaderFields& hidden) const;
    QStringList firstColumn(const QString& table) const;
    bool hasColumn(const QString& table, const QString& column) const;

    const Database& db_;
    const LoginState& state_;
};
