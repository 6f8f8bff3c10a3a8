// The rules of the catalogue's list, edit and stock screens over one table description:
// loading an item, writing what the operator changed (and only that, only where the desk
// has not changed it meanwhile), the stock change with its administrator log row, the
// delete that an open loan refuses, the totals line, the accession list, and the entry of
// a periodical issue copied from an earlier one.
#pragma once

#include "CatalogueTable.h"
#include "data/Database.h"
#include "data/ListSearch.h"
#include "data/LoginState.h"

#include <QDate>
#include <QVariantMap>
#include <optional>

// The outcome of a change: done, or refused with the text to show.
struct ItemResult
{
    bool ok = false;
    QString message;
    std::optional<int> currentStock; // a refused stock change: the figure the desk left
};

// The fields of the periodical entry screen as typed (untrimmed).
struct IssueRecord
{
    QString 编号;
    QString 名称;
    QString 条形码;
    QString 出版社;
    QString 物品级别;
    QString 存放位置;
    QString 分类;
    QString 二级分类;
    QString 数量;
    QString issn;
    QString 国内统一刊号;
    QString 邮发代号;
    QString 第几期;
    QString 总第几期;
    QDate 出版时间;
    QString 价格;
    QString py;
    QString 简介;
    QString 状态;
};

namespace CatalogueText {
inline const QString NoRight = QStringLiteral("没有权限!");
inline const QString FillQuantity = QStringLiteral("填写数量!");
inline const QString Saved = QStringLiteral("保存完毕");
inline const QString MissingFields = QStringLiteral("字体加重的项目必须填写完整!");
inline const QString ReversedDates = QStringLiteral("时间前后逻辑错误!");
QString gone(const QString& itemWord, const QString& number);
QString changedMeanwhile(const QString& itemWord, const QString& number, const QString& column);
QString stockChangedMeanwhile(const QString& itemWord, const QString& number, int current);
QString onLoan(const QString& itemWord, const QString& number, const QString& action);
QString deleteQuestion(const QString& name);
QString notInteger(const QString& text);
QString notAmount(const QString& text);
} // namespace CatalogueText

class CatalogueItems
{
public:
    explicit CatalogueItems(const CatalogueTable& table, const Database& db = Database::shared(),
                            const LoginState& state = LoginState::instance());

    const CatalogueTable& table() const { return table_; }

    // Every column of the item with this 编号, as stored; nullopt when there is none.
    // Throws DbError.
    std::optional<QVariantMap> load(const QString& number) const;

    // How a stored value shows in an edit field (amounts exactly, dates as yyyy-MM-dd).
    QString shownText(const QString& column, const QVariant& stored) const;

    // Writes the fields the operator changed. edited maps a column to its field's text
    // (QString) or, for a date column, a QDate (invalid: empty). A field is changed when it
    // differs from shownText of loaded; the desk's columns are never written.
    ItemResult save(const QVariantMap& loaded, const QVariantMap& edited) const;
    // The same changes and the new stock 数量 with its log row, in one transaction; refused
    // when the desk changed the stock since it was loaded.
    ItemResult changeStock(const QVariantMap& loaded, const QVariantMap& edited,
                           const QString& quantity) const;
    // Deletes the item with this 编号 unless it is on loan.
    ItemResult remove(const QString& number) const;

    // "总记录数:n 总数量:n 总价格:n" over the whole table, as far as it can be computed.
    QString totalsLine() const;

    // The accession list of a table (图书 or 期刊) between two days, both included. *warning
    // is set to "时间前后逻辑错误!" when the end is before the start.
    static ListStatement accessionStatement(const QString& table, const QDate& from,
                                            const QDate& to, QString* warning);

    // The earliest stored issue with this barcode (trimmed), nullopt when none.
    std::optional<QVariantMap> earliestIssue(const QString& barcode) const;
    // The entry screen's fields after copying an earlier issue over them: the non-null
    // columns of the issue replace the fields; 编号, 数量, 出版时间 and 状态 stay.
    static IssueRecord copyIssue(const IssueRecord& typed, const QVariantMap& issue);
    // Inserts a new issue (values trimmed); the message is "保存完毕" or the refusal.
    ItemResult addIssue(const IssueRecord& r) const;
    static IssueRecord initialIssue();

private:
    struct Change
    {
        QString column;
        QVariant value;
    };
    std::optional<QList<Change>> changes(const QVariantMap& loaded, const QVariantMap& edited,
                                         QString* error) const;
    // Runs the guarded update of the changes (inside the caller's transaction); throws the
    // refusal.
    void write(const QVariantMap& loaded, const QList<Change>& changes) const;
    int openLoans(const QString& number) const;
    QString number(const QVariantMap& row) const;

    const CatalogueTable& table_;
    const Database& db_;
    const LoginState& state_;
};
