// What the library settings screen decides: the values of the one row of 系统设置 as the
// inputs show them, the choice of the returning and lending focus, the checks of the
// number inputs, and the save: the edited columns of the one row in one transaction (the
// row is created when the table has none, never a second one), then BcCc in de.ini.
#pragma once

#include "data/Database.h"

#include <QString>

class SysInfoSetRules
{
public:
    // Which input the returning and the lending screen start in; None: no choice made.
    enum class ReturnFocus
    {
        None,
        BookNumber,   // 归还焦点图书编号
        ReaderNumber, // 归还焦点读者编号
        Barcode,      // 归还焦点条形码
    };
    enum class LendFocus
    {
        None,
        Number,  // 借阅焦点编号
        Barcode, // 借阅焦点条形码
    };

    // The inputs of the screen; the three numbers as typed.
    struct Form
    {
        QString 图书馆名;
        QString 地址;
        QString 电话;
        QString 负责人;
        QString 超期每日罚金;
        QString 押金倍数;
        QString 开户费;
        ReturnFocus returnFocus = ReturnFocus::None;
        LendFocus lendFocus = LendFocus::None;
        bool 借出时打印清单 = false;
        bool 借阅数量限制功能 = false;
        bool 启用超期罚金 = false;
        bool 启用读者租金 = false;
        bool 启用读者有效期 = false;
        bool 启用租金功能 = false;
        bool 显示院系 = false;
        bool 显示班级 = false;
        bool 启用预定功能 = false;
        QString 借阅证背面文字;
        QString WebNotice;
        QString 催还通知文字; // printed on the overdue notices
        bool bcCc = false;    // de.ini part1/BcCc: "图书录入时-条码重复提示"
    };

    // The number input a refusal is about.
    enum class Field
    {
        None,
        超期每日罚金,
        押金倍数,
        开户费,
    };

    struct Outcome
    {
        enum Kind
        {
            Saved,
            Refused, // an input is empty or not a number: message and field; nothing stored
            Failed,  // a database or de.ini error: its own text
        };
        Kind kind = Saved;
        QString message;
        Field field = Field::None;
    };

    explicit SysInfoSetRules(const Database& db) : db_(db) {}

    // The first row of 系统设置 (hasRow false and empty inputs when there is none), with
    // bcCc from the login state's value read at start. Throws DbError.
    Form load(const QString& bcCc, bool* hasRow = nullptr) const;

    // The focus choices a row makes: of the yes columns the last in the order 条形码,
    // 图书编号, 读者编号 (returning) and 编号, 条形码 (lending).
    static ReturnFocus returnFocusOf(bool barcode, bool bookNumber, bool readerNumber);
    static LendFocus lendFocusOf(bool number, bool barcode);

    // Why the form cannot be stored, or an Outcome of kind Saved when it can.
    static Outcome check(const Form& form);

    // Checks, stores the row and then writes BcCc ("1" or "0") to the settings file at
    // settingsPath. Never throws.
    Outcome save(const Form& form, const QString& settingsPath) const;

    static QString fieldCaption(Field field);

private:
    const Database& db_;
};

namespace SysInfoText {
inline const QString Caption = QStringLiteral("系统设置");
inline const QString OpeningFeeRequired = QStringLiteral("开户费必须填写, \" 0 \" 代表不收取.");
inline const QString FineRequired = QStringLiteral("超期日罚金必须填写, \" 0 \" 代表不收取.");
inline const QString DepositRequired = QStringLiteral("押金倍数必须填写.");
inline const QString Restart = QStringLiteral("新的设置重启软件后生效!");
// "<caption>必须填写不小于0的数字!" for a text that is not a number or is negative.
QString notANumber(const QString& caption);
// The row is stored but de.ini could not be written.
QString settingsFileFailed(const QString& path, const QString& error);
} // namespace SysInfoText
