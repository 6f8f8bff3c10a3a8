#include "../common/RecordingMessenger.h"
#include "../common/TestLibrary.h"
#include "../common/TestMain.h"
#include "app/AdminLogRules.h"
#include "app/AdminLogUt.h"
#include "catalogue/CatalogueItems.h"
#include "data/AdminLog.h"
#include "data/Clock.h"
#include "data/LoginState.h"
#include "data/SpreadsheetReader.h"
#include "report/ReportPreview.h"
#include "widgets/DataGrid.h"
#include "widgets/ExportToExcel.h"

#include <QHeaderView>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

namespace {
const QDateTime kMoment(QDate(2024, 5, 6), QTime(7, 8, 9));

void engines()
{
    QTest::addColumn<int>("engine");
    QTest::newRow("sqlite") << int(TestLibrary::SQLite);
    QTest::newRow("postgresql") << int(TestLibrary::PostgreSQL);
}

// Three log rows an hour apart, the first the latest: ids 1, 2, 3.
void addRows(const Database& db)
{
    db.transaction([&] {
        AdminLog::write(db, AdminLog::stockChangedEvent(), QStringLiteral("张三"),
                        AdminLog::stockChangedDescription(QStringLiteral("TM001")),
                        kMoment.addSecs(7200));
        AdminLog::write(db, AdminLog::statusChangedEvent(), QStringLiteral("李四"),
                        AdminLog::statusChangedDescription(QStringLiteral("R001"),
                                                           QStringLiteral("王五"),
                                                           QStringLiteral("停用"), {}),
                        kMoment);
        AdminLog::write(db, AdminLog::stockChangedEvent(), QStringLiteral("张三"),
                        AdminLog::stockChangedDescription(QStringLiteral("TM002")),
                        kMoment.addSecs(3600));
    });
}

QList<qint64> ids(const Database& db)
{
    QList<qint64> out;
    QSqlQuery q = db.query(QStringLiteral("select id from 管理员日志 order by id"));
    while (q.next())
        out << q.value(0).toLongLong();
    return out;
}

int column(const DataGrid* grid, const QString& field)
{
    return grid->model()->fieldIndex(field);
}
} // namespace

// The writer of log rows (data/AdminLog) and the log screen.
class AdminLogTest : public QObject
{
    Q_OBJECT
private slots:
    void cleanup()
    {
        Clock::setNow({});
        setReportPreviewHook({});
        setExcelExportFolder({});
        LoginState::reset();
    }

    // A remark with quotes of both kinds goes in verbatim, at the fixed moment, to the second.
    void remarkStoredVerbatim_data() { engines(); }
    void remarkStoredVerbatim()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        TestLibrary lib{TestLibrary::Engine(engine), false, false};
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        Clock::setNow(QDateTime(kMoment.date(), QTime(7, 8, 9, 567)));
        const QString remark = QStringLiteral("他说 \"丢了\"; it's '旧' ');--");
        const QString description = AdminLog::statusChangedDescription(
            QStringLiteral("R'1"), QStringLiteral("O\"Brien"), QStringLiteral("停用"), remark);
        lib.db().transaction([&] {
            AdminLog::write(lib.db(), AdminLog::statusChangedEvent(), QStringLiteral("张\"三"),
                            description);
        });
        QSqlQuery q =
            lib.db().query(QStringLiteral("select 事件, 日期, 管理员, 说明 from 管理员日志"));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("修改状态"));
        QCOMPARE(DbValue::toDateTime(q.value(1)), kMoment);
        QCOMPARE(q.value(2).toString(), QStringLiteral("张\"三"));
        QCOMPARE(q.value(3).toString(),
                 QStringLiteral("读者编号:R'1,姓名:O\"Brien,状态改为:[停用],") + remark);
        QVERIFY(!q.next());
        // An empty remark ends the description in "],".
        QVERIFY(AdminLog::statusChangedDescription(QStringLiteral("R1"), QStringLiteral("王五"),
                                                   QStringLiteral("正常"), {})
                    .endsWith(QStringLiteral("],")));
    }

    // The stock change and its log row are one transaction: when the log insert fails, the
    // stock screen's change (the new 数量 and the pending edits with it) is rolled back and
    // the database's text is the result.
    void failingLogInsertRollsTheChangeBack_data() { engines(); }
    void failingLogInsertRollsTheChangeBack()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        TestLibrary lib{TestLibrary::Engine(engine), true, false};
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        const Database& db = lib.db();
        LoginState::instance().OperatorName = QStringLiteral("张三");
        const QString book =
            db.scalar(QStringLiteral("select 编号 from 图书 order by 编号")).toString();
        const auto stored = [&] {
            QSqlQuery q =
                db.query(QStringLiteral("select 数量, 名称 from 图书 where 编号 = ?"), {book});
            return q.next() ? q.value(0).toString() + QLatin1Char('|') + q.value(1).toString()
                            : QString();
        };
        const QString before = stored();
        const int logRows = db.scalar(QStringLiteral("select count(*) from 管理员日志")).toInt();
        CatalogueItems rules(CatalogueTable::books(), db);
        const QVariantMap loaded = *rules.load(book);
        // Every other statement of the change runs; only the log row cannot be written.
        db.execute(QStringLiteral("alter table 管理员日志 rename to 旧日志"));
        const ItemResult r = rules.changeStock(
            loaded, {{QStringLiteral("名称"), QStringLiteral("改过的书名")}},
            QString::number(DbValue::toInt(loaded.value(QStringLiteral("数量"))) + 5));
        QVERIFY(!r.ok);
        QVERIFY(!r.message.isEmpty());
        QCOMPARE(stored(), before);
        db.execute(QStringLiteral("alter table 旧日志 rename to 管理员日志"));
        QCOMPARE(db.scalar(QStringLiteral("select count(*) from 管理员日志")).toInt(), logRows);
        // The same change with the log in place is stored with its row.
        const ItemResult again = rules.changeStock(
            loaded, {{QStringLiteral("名称"), QStringLiteral("改过的书名")}},
            QString::number(DbValue::toInt(loaded.value(QStringLiteral("数量"))) + 5));
        QVERIFY2(again.ok, qPrintable(again.message));
        QVERIFY(stored() != before);
        QCOMPARE(db.scalar(QStringLiteral("select count(*) from 管理员日志")).toInt(), logRows + 1);
        LoginState::reset();
    }

    void screen()
    {
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        addRows(lib.db());
        TAdminLogFm fm;
        QCOMPARE(fm.windowTitle(), QStringLiteral("管理员日志"));
        QStringList buttons;
        for (QPushButton* b : {fm.deleteButton(), fm.deleteAllButton(), fm.excelButton(),
                               fm.printButton(), fm.exitButton()})
            buttons << b->text();
        QCOMPARE(buttons, QStringList({"删除当前", "全部删除", "导出Excel", "打印", "退出"}));
        DataGrid* grid = fm.grid();
        QCOMPARE(grid->rowCount(), 3);
        for (const char* f : {"id", "事件", "日期", "管理员", "说明"})
            QVERIFY(grid->isColumnShown(QString::fromUtf8(f)));
        QCOMPARE(grid->footerText(QStringLiteral("id")), QStringLiteral("3"));
        QCOMPARE(grid->model()->data(grid->model()->index(0, column(grid, QStringLiteral("日期")))),
                 QVariant(QStringLiteral("2024-05-06 09:08:09")));
    }

    // "删除当前" removes the row shown as current, by its id, after a sort.
    void deleteCurrentAfterSorting_data() { engines(); }
    void deleteCurrentAfterSorting()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        TestLibrary lib{TestLibrary::Engine(engine)};
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        addRows(lib.db());
        RecordingMessenger messenger;
        messenger.confirmAnswers << false << true;
        TAdminLogFm fm;
        DataGrid* grid = fm.grid();
        grid->view()->sortByColumn(column(grid, QStringLiteral("日期")), Qt::AscendingOrder);
        grid->setCurrentRow(0);
        const QList<qint64> all = ids(lib.db());
        QCOMPARE(grid->currentValue(QStringLiteral("id")).toLongLong(), all[1]); // the earliest

        fm.deleteClick(); // No
        QCOMPARE(messenger.shown.size(), 1);
        QCOMPARE(messenger.shown[0].kind, QStringLiteral("confirm"));
        QCOMPARE(messenger.shown[0].text, QStringLiteral("您是否要删除"));
        QCOMPARE(ids(lib.db()), all);

        fm.deleteClick(); // Yes
        QCOMPARE(ids(lib.db()), QList<qint64>({all[0], all[2]}));
        QCOMPARE(grid->rowCount(), 2);
        QCOMPARE(grid->footerText(QStringLiteral("id")), QStringLiteral("2"));
        // Still in the order of the sort.
        QCOMPARE(grid->value(0, QStringLiteral("id")).toLongLong(), all[2]);
        QCOMPARE(grid->value(1, QStringLiteral("id")).toLongLong(), all[0]);
    }

    // The deletions return what happened and show nothing themselves: the questions come
    // from the checks, a row gone meanwhile is nothing, "删除完毕!" follows a delete of all.
    void rulesReturnWhatHappened_data() { engines(); }
    void rulesReturnWhatHappened()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        TestLibrary lib{TestLibrary::Engine(engine)};
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        addRows(lib.db());
        RecordingMessenger messenger;
        const AdminLogRules rules(lib.db());
        const QList<qint64> all = ids(lib.db());

        for (const QVariant& none : {QVariant(), QVariant(QMetaType(QMetaType::LongLong))}) {
            QCOMPARE(AdminLogRules::removeOneCheck(none).status, RuleResult::Nothing);
            QCOMPARE(rules.removeOne(none).status, RuleResult::Nothing);
        }
        const RuleResult asked = AdminLogRules::removeOneCheck(all[1]);
        QCOMPARE(asked.status, RuleResult::Confirm);
        QCOMPARE(asked.question, QStringLiteral("您是否要删除"));
        QCOMPARE(asked.caption, QStringLiteral("确认"));
        QCOMPARE(ids(lib.db()), all);

        const RuleResult removed = rules.removeOne(all[1]);
        QCOMPARE(removed.status, RuleResult::Done);
        QVERIFY(removed.messages.isEmpty());
        QCOMPARE(ids(lib.db()), QList<qint64>({all[0], all[2]}));
        QCOMPARE(rules.removeOne(all[1]).status, RuleResult::Nothing);

        const RuleResult askedAll = AdminLogRules::removeAllCheck();
        QCOMPARE(askedAll.status, RuleResult::Confirm);
        QCOMPARE(askedAll.question, QStringLiteral("您是否要全部删除"));
        QCOMPARE(askedAll.caption, QStringLiteral("确认"));
        QCOMPARE(ids(lib.db()).size(), 2);
        const RuleResult removedAll = rules.removeAll();
        QCOMPARE(removedAll.status, RuleResult::Done);
        QCOMPARE(removedAll.messages, QStringList{QStringLiteral("删除完毕!")});
        QVERIFY(ids(lib.db()).isEmpty());
        QVERIFY2(messenger.shown.isEmpty(), qPrintable(messenger.lastText()));
    }

    void deleteAllThenDeleteCurrentDoesNothing()
    {
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        addRows(lib.db());
        RecordingMessenger messenger;
        messenger.confirmAnswers << false;
        TAdminLogFm fm;
        fm.deleteAllClick(); // No
        QCOMPARE(messenger.texts(), QStringList{QStringLiteral("您是否要全部删除")});
        QCOMPARE(ids(lib.db()).size(), 3);
        messenger.clear();
        fm.deleteAllClick(); // Yes
        QCOMPARE(messenger.texts(),
                 QStringList({QStringLiteral("您是否要全部删除"), QStringLiteral("删除完毕!")}));
        QVERIFY(ids(lib.db()).isEmpty());
        QCOMPARE(fm.grid()->rowCount(), 0);

        // On the empty grid "删除当前" asks nothing and deletes nothing.
        AdminLog::write(lib.db(), AdminLog::stockChangedEvent(), QStringLiteral("张三"),
                        QStringLiteral("条形码:X"));
        messenger.clear();
        fm.deleteClick();
        QVERIFY(messenger.shown.isEmpty());
        QCOMPARE(ids(lib.db()).size(), 1);
    }

    void deleteCurrentOnAnEmptyLog()
    {
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        RecordingMessenger messenger;
        TAdminLogFm fm;
        QCOMPARE(fm.grid()->rowCount(), 0);
        QCOMPARE(fm.grid()->footerText(QStringLiteral("id")), QStringLiteral("0"));
        fm.deleteClick();
        QVERIFY(messenger.shown.isEmpty());
    }

    void printsTheRowsAsShown()
    {
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        addRows(lib.db());
        TAdminLogFm fm;
        fm.grid()->view()->sortByColumn(column(fm.grid(), QStringLiteral("日期")),
                                        Qt::DescendingOrder);
        PreparedReport printed;
        setReportPreviewHook([&](const PreparedReport& p) { printed = p; });
        fm.printClick();
        QCOMPARE(printed.pageCount(), 1);
        const QList<qint64> all = ids(lib.db());
        // Memo1..Memo5: id, 事件, 日期, 管理员, 说明.
        QCOMPARE(printed.textsOf(QStringLiteral("Memo1")),
                 QStringList(
                     {QString::number(all[0]), QString::number(all[2]), QString::number(all[1])}));
        QCOMPARE(printed.textsOf(QStringLiteral("Memo2")).value(1), QStringLiteral("修改库存"));
        QCOMPARE(printed.textsOf(QStringLiteral("Memo3")).value(2),
                 QStringLiteral("2024-05-06 07:08:09"));
        QCOMPARE(printed.textsOf(QStringLiteral("Memo4")).value(2), QStringLiteral("李四"));
        QCOMPARE(printed.textsOf(QStringLiteral("Memo5")).value(0), QStringLiteral("条形码:TM001"));
        QStringList titles;
        for (const PreparedItem& item : printed.page(0))
            if (item.frame && item.row < 0)
                titles << item.text;
        for (const char* t : {"id", "事件", "日期", "管理员", "说明"})
            QVERIFY2(titles.contains(QString::fromUtf8(t)), t);
    }

    void exportsEveryColumn()
    {
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        addRows(lib.db());
        QTemporaryDir out;
        setExcelExportFolder(out.path());
        RecordingMessenger messenger;
        TAdminLogFm fm;
        fm.grid()->view()->sortByColumn(column(fm.grid(), QStringLiteral("日期")),
                                        Qt::AscendingOrder);
        fm.excelClick();
        QCOMPARE(messenger.opened.size(), 1);
        QString error;
        const auto sheet = SpreadsheetReader::openFile(messenger.opened.first(), &error);
        QVERIFY2(sheet, qPrintable(error));
        QCOMPARE(sheet->rowCount(), 4);
        QStringList header;
        for (int c = 1; c <= sheet->columnCount(); ++c)
            header << sheet->cell(1, c);
        QCOMPARE(header, QStringList({"id", "事件", "日期", "管理员", "说明"}));
        // In the order shown: the earliest first.
        QCOMPARE(sheet->cell(2, 4), QStringLiteral("李四"));
        QCOMPARE(sheet->cell(2, 3), QStringLiteral("2024-05-06 07:08:09"));
        QCOMPARE(sheet->cell(4, 5), QStringLiteral("条形码:TM001"));
    }
};

TUSHU_TEST(AdminLogTest)
#include "tst_AdminLog.moc"
