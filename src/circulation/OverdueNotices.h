// The overdue notices "催还通知" of the overdue list: one notice per reader with loans past
// their due date, each overdue item with its due date, the days over and the fine so far at
// today's rate (as the returning desk would compute it now), the total, and the library's
// text from the settings (系统设置.催还通知文字); and the list of those readers with their
// contacts for a school that sends the notices by its own mail.
//
// An item counts once it is at least one day over (due before today): an item due today
// is not late yet, as at the returning desk.
#pragma once

#include "data/Database.h"
#include "data/ListSearch.h"
#include "data/LoginState.h"
#include "data/Money.h"
#include "report/Report.h"

#include <QDate>
#include <QList>
#include <QString>

struct OverdueItem
{
    QString 编号;
    QString 名称;
    QString 类别;
    QDate 借阅日期;
    QDate 应还日期;
    int 超期天数 = 0;
    Money 罚金; // 0 when fines are switched off
};

struct OverdueNotice
{
    QString 读者编号;
    QString 读者姓名;
    QString 班级;
    QString 院系;
    QString 单位部门;
    QString 联系电话;
    QString 住址;
    QList<OverdueItem> items; // by due date
    Money total;
};

class OverdueNotices
{
public:
    inline static const QString kNoNotice = QStringLiteral("没有超期未还的读者.");

    explicit OverdueNotices(const Database& db = Database::shared());

    // The notices on today, by reader number; the fine per day and whether fines are on
    // come from the settings. Throws DbError.
    QList<OverdueNotice> notices(const QDate& today, const LibrarySettings& settings) const;
    // The readers with loans overdue on today and their contacts, with the number of items
    // over and the earliest due date: the statement of the export.
    static ListStatement readers(const QDate& today);
    // 系统设置.催还通知文字; empty when none. Throws DbError.
    QString noticeText() const;

    // One notice per page, and the rows it prints (one per notice).
    static Report report();
    static ReportRows rows(const QList<OverdueNotice>& notices, const QString& libraryName,
                           const QString& text, const QDate& today);
    // "班级 院系 单位部门" as far as the reader has them.
    static QString classText(const OverdueNotice& notice);
    // "编号 《名称》 应还日期:… 超期N天 罚金:…元" for one item.
    static QString itemLine(const OverdueItem& item);

private:
    const Database& db_;
};
