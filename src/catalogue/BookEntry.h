// Rules of the book entry screen: the dictionary lists, the publisher found from an ISBN
// barcode, the duplicate-barcode hint, the call number and 种次号 of a class, the pinyin
// initials of a title, the running book number, and the checked insert of one 图书 row.
#pragma once

#include "data/Database.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <optional>

// The items of the eight editable lists of the entry screen, each read from its table.
struct BookEntryLists
{
    QStringList 分类;
    QStringList 二级分类;
    QStringList 出版社;
    QStringList 存放位置;
    QStringList 币种;
    QStringList 密级;
    QStringList 附件;
    QStringList 物品级别;
};

// The fields of the entry screen as the operator typed them (untrimmed).
struct BookRecord
{
    QString 编号;
    QString 名称;
    QString 条形码;
    QString 索书号;
    QString 分类号;
    QString zch;
    QString 数量;
    QString 分类;
    QString 二级分类;
    QString 出版社;
    QString 存放位置;
    QString 物品级别;
    QString 价格;
    QString 币种;
    QString 作者;
    QString 译者;
    QDate 出版时间;
    QString isbn;
    QString 密级;
    QString 附件;
    QString 版次;
    QString 电子文档; // stored in both 图片地址 and 绝对地址
    QString py;
    QString 页数;
    QString 简介;
    QString 来源;
    QString 捐赠人;
    QString 状态;
};

struct PublisherMatch
{
    QString 出版社名;
    QString isbn;
};

struct CallNumber
{
    QString 索书号;
    QString zch;
};

// The running book number of the entry screen: a prefix, a width in characters and a
// counter, so that prefix A with start value 001 numbers A001, A002, ...
class AutoNumbering
{
public:
    // Back to the state of a newly shown screen: counter 1, prefix and width kept.
    void restart() { counter_ = 1; }
    // "确定": takes the start value and prefix; returns the new book number, or nullopt
    // with *error set when the start value is not a whole number (nothing changes then).
    std::optional<QString> confirm(const QString& startValue, const QString& prefix,
                                   QString* error);
    // After a successful save: the next book number.
    QString advance();

    int counter() const { return counter_; }
    int width() const { return width_; }
    const QString& prefix() const { return prefix_; }

private:
    int counter_ = 1;
    int width_ = 0;
    QString prefix_;
};

class BookEntry
{
public:
    explicit BookEntry(const Database& db = Database::shared()) : db_(db) {}

    // The values the screen's fields take when cleared (InitialData). 编号 and 出版时间
    // are not part of the clearing and are left empty/invalid here.
    static BookRecord initialRecord();

    BookEntryLists loadLists() const;

    // The keys "7-" + 2..7 characters of the barcode from its fifth character on, in the
    // order they are tried.
    static QStringList publisherKeys(const QString& barcode);
    // The publisher whose ISBN prefix matches the barcode; the shortest matching key wins.
    std::optional<PublisherMatch> BarCodeFindPub(const QString& barcode) const;

    // Whether a book with this barcode (trimmed) exists already.
    bool barcodeExists(const QString& barcode) const;
    // The hint shown after a barcode is scanned: the text when the duplicate check is on
    // (LoginState BcCc "1") and the barcode exists, else nullopt.
    std::optional<QString> duplicateBarcodeHint(const QString& barcode) const;

    // The next call number and 种次号 of a class: the highest 种次号 of the class plus 1,
    // 1 for a class without numbered books. nullopt for a blank class number.
    std::optional<CallNumber> callNumber(const QString& classNumber) const;

    // The pinyin initials of a title (the py column).
    static QString pinyin(const QString& title);

    // Checks the required fields (non-empty, not trimmed).
    static bool requiredFieldsFilled(const BookRecord& r);

    enum class SaveStatus
    {
        Saved,
        MissingField, // nothing written; beep and message
        Refused,      // a value or the database refused the row; message holds the reason
    };
    struct SaveResult
    {
        SaveStatus status = SaveStatus::Saved;
        QString message;
    };
    // Inserts the row: trims the fields, applies the defaults, stamps the entry date,
    // the operator and TmpA. The message of a refusal is the database's own text.
    SaveResult save(const BookRecord& r) const;

    static inline const QString kMissingFieldsText = QStringLiteral("字体加重的项目必须填写完整!");
    static inline const QString kSavedText = QStringLiteral("保存完毕,请继续录入下一条!");
    static inline const QString kDuplicateBarcodeText =
        QStringLiteral("提示:数据库中已经有该条码!");
    static inline const QString kDonation = QStringLiteral("捐赠");
    static inline const QString kDefaultItemLevel = QStringLiteral("普通");

private:
    bool hasTmpA() const;
    const Database& db_;
};
