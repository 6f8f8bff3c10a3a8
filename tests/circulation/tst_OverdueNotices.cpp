#include "../common/PdfText.h"
#include "../common/RecordingMessenger.h"
#include "../common/TestLibrary.h"
#include "../common/TestMain.h"
#include "CirculationFixture.h"
#include "circulation/BkJySearchUt.h"
#include "circulation/OverdueNotices.h"
#include "data/SpreadsheetReader.h"
#include "report/ReportPreview.h"
#include "widgets/ExportToExcel.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

using Fixture::money;

// Today is 2026-03-02. R1 has two loans over (10 and 3 days) and one not due yet; R2 one
// day over; R3 has a loan due today and one returned long after its due date: no notice.
void addLoans(const Database& db)
{
    const auto reader = [&](const char* number, const char* name, const char* cls,
                            const char* phone) {
        Fixture::Reader r;
        r.number = QString::fromUtf8(number);
        r.name = QString::fromUtf8(name);
        Fixture::addReader(db, r);
        db.execute(
            QStringLiteral("update 读者库 set 班级 = ?, 单位部门 = ?, 联系电话 = ? where "
                           "读者编号 = ?"),
            {QString::fromUtf8(cls), QStringLiteral("初中部"), QString::fromUtf8(phone), r.number});
    };
    reader("R1", "张三", "三年二班", "13800000001");
    reader("R2", "李四", "", "13800000002");
    reader("R3", "王五", "一年一班", "13800000003");
    const auto loan = [&](const char* readerNumber, const char* item, QDate due) {
        Fixture::Loan l;
        l.reader = QString::fromUtf8(readerNumber);
        l.readerName =
            l.reader == QStringLiteral("R1") ? QStringLiteral("张三") : QStringLiteral("某");
        l.item = QString::fromUtf8(item);
        l.title = l.item + QStringLiteral("书");
        l.lent = due.addDays(-30);
        l.due = due;
        return Fixture::addLoan(db, l);
    };
    loan("R1", "B2", QDate(2026, 2, 27));
    loan("R1", "B1", QDate(2026, 2, 20));
    loan("R1", "B9", QDate(2026, 3, 20));
    loan("R2", "B3", QDate(2026, 3, 1));
    loan("R3", "B4", QDate(2026, 3, 2));
    const int returned = loan("R3", "B5", QDate(2026, 1, 1));
    db.execute(QStringLiteral("update 借出记录 set 已还 = ? where id = ?"),
               {QStringLiteral("是"), returned});
}

using Desk = Fixture::FixedDesk;

LibrarySettings finesOn()
{
    LibrarySettings s = Fixture::plainSettings();
    s.启用超期罚金 = true;
    return s;
}

} // namespace

class OverdueNoticesTest : public QObject
{
    Q_OBJECT
private slots:
    // Two readers over, two notices, each with its own items, days and fines at 0.1 a day;
    // with fines off the days stay and the fines are 0.
    void noticePerReader_data()
    {
        QTest::addColumn<int>("engine");
        QTest::addColumn<bool>("fines");
        QTest::newRow("sqlite fines on") << int(TestLibrary::SQLite) << true;
        QTest::newRow("sqlite fines off") << int(TestLibrary::SQLite) << false;
        QTest::newRow("postgresql fines on") << int(TestLibrary::PostgreSQL) << true;
        QTest::newRow("postgresql fines off") << int(TestLibrary::PostgreSQL) << false;
    }
    void noticePerReader()
    {
        QFETCH(int, engine);
        QFETCH(bool, fines);
        TUSHU_REQUIRE_ENGINE(engine);
        Desk d(engine);
        QVERIFY2(d.lib.ok(), qPrintable(d.lib.error()));
        addLoans(d.db());
        LibrarySettings settings = finesOn();
        settings.启用超期罚金 = fines;
        const QList<OverdueNotice> notices =
            OverdueNotices(d.db()).notices(Fixture::today(), settings);
        QCOMPARE(notices.size(), 2);
        const OverdueNotice& first = notices.at(0);
        QCOMPARE(first.读者编号, QStringLiteral("R1"));
        QCOMPARE(first.读者姓名, QStringLiteral("张三"));
        QCOMPARE(OverdueNotices::classText(first), QStringLiteral("三年二班 初中部"));
        QCOMPARE(first.联系电话, QStringLiteral("13800000001"));
        QCOMPARE(first.items.size(), 2);
        // By due date: the older loan first.
        QCOMPARE(first.items.at(0).编号, QStringLiteral("B1"));
        QCOMPARE(first.items.at(0).应还日期, QDate(2026, 2, 20));
        QCOMPARE(first.items.at(0).超期天数, 10);
        QCOMPARE(first.items.at(1).编号, QStringLiteral("B2"));
        QCOMPARE(first.items.at(1).超期天数, 3);
        QCOMPARE(first.items.at(0).罚金, fines ? money("1") : Money());
        QCOMPARE(first.items.at(1).罚金, fines ? money("0.3") : Money());
        QCOMPARE(first.total, fines ? money("1.3") : Money());
        const OverdueNotice& second = notices.at(1);
        QCOMPARE(second.读者编号, QStringLiteral("R2"));
        // The name as the reader register holds it, not as the loan row recorded it.
        QCOMPARE(second.读者姓名, QStringLiteral("李四"));
        QCOMPARE(OverdueNotices::classText(second), QStringLiteral("初中部"));
        QCOMPARE(second.items.size(), 1);
        QCOMPARE(second.items.at(0).超期天数, 1);
        QCOMPARE(second.total, fines ? money("0.1") : Money());
        QCOMPARE(OverdueNotices::itemLine(first.items.at(0)),
                 fines ? QStringLiteral("B1  《B1书》  应还日期:2026-02-20  超期10天  罚金:1元")
                       : QStringLiteral("B1  《B1书》  应还日期:2026-02-20  超期10天  罚金:0元"));
    }

    // A library without overdue loans gives no notice, and the screen says so.
    void noNotice_data()
    {
        QTest::addColumn<int>("engine");
        QTest::newRow("sqlite") << int(TestLibrary::SQLite);
        QTest::newRow("postgresql") << int(TestLibrary::PostgreSQL);
    }
    void noNotice()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        Desk d(engine);
        QVERIFY2(d.lib.ok(), qPrintable(d.lib.error()));
        addLoans(d.db());
        // Four days earlier only R1's B1 was over: one notice, R2 and R3 none.
        QList<OverdueNotice> notices =
            OverdueNotices(d.db()).notices(QDate(2026, 2, 26), finesOn());
        QCOMPARE(notices.size(), 1);
        QCOMPARE(notices.first().items.size(), 1);
        QCOMPARE(notices.first().items.first().超期天数, 6);
        notices = OverdueNotices(d.db()).notices(QDate(2026, 2, 20), finesOn());
        QVERIFY(notices.isEmpty());
        Clock::setNow(QDateTime(QDate(2026, 2, 20), QTime(9, 0)));
        bool previewed = false;
        setReportPreviewHook([&](const PreparedReport&) { previewed = true; });
        TDueRecordFm fm;
        fm.noticesClick();
        setReportPreviewHook({});
        QVERIFY(!previewed);
        QCOMPARE(d.messenger.lastText(), OverdueNotices::kNoNotice);
    }

    // From the overdue list: one page per reader, with the library's name and the notice
    // text of the settings, to a PDF that reads back.
    void noticesPrint_data() { noNotice_data(); }
    void noticesPrint()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        Desk d(engine);
        QVERIFY2(d.lib.ok(), qPrintable(d.lib.error()));
        addLoans(d.db());
        d.db().execute(QStringLiteral("update 系统设置 set 催还通知文字 = ?"),
                       {QStringLiteral("请于三日内归还。")});
        LoginState::instance().settings = finesOn();
        std::optional<PreparedReport> prepared;
        setReportPreviewHook([&](const PreparedReport& p) { prepared = p; });
        TDueRecordFm fm;
        fm.noticesClick();
        setReportPreviewHook({});
        QVERIFY(prepared);
        QCOMPARE(prepared->pageCount(), 2);
        QCOMPARE(prepared->textsOf(QStringLiteral("Library")),
                 QStringList({"阳光图书馆", "阳光图书馆"}));
        QCOMPARE(prepared->textsOf(QStringLiteral("Reader")),
                 QStringList({"读者: 张三    读者编号: R1", "读者: 李四    读者编号: R2"}));
        QCOMPARE(prepared->textsOf(QStringLiteral("Total")),
                 QStringList({"超期 2 件, 罚金合计: 1.3 元", "超期 1 件, 罚金合计: 0.1 元"}));
        QCOMPARE(prepared->textsOf(QStringLiteral("Text")),
                 QStringList({"请于三日内归还。", "请于三日内归还。"}));
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("notices.pdf"));
        QString error;
        QVERIFY2(prepared->exportPdf(pdf, &error), qPrintable(error));
        const QString text = pdfText(pdf);
        for (const char* part : {"催还通知", "张三", "李四", "三年二班", "应还日期:2026-02-20",
                                 "超期10天", "罚金合计: 1.3", "请于三日内归还。"})
            QVERIFY2(text.contains(QString::fromUtf8(part)), part);
        QCOMPARE(text.count(QLatin1Char('\f')) >= 1, true);
    }

    // The readers over, with their contacts, exported from the overdue list.
    void readersExport_data() { noNotice_data(); }
    void readersExport()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        Desk d(engine);
        QVERIFY2(d.lib.ok(), qPrintable(d.lib.error()));
        addLoans(d.db());
        QTemporaryDir out;
        setExcelExportFolder(out.path());
        TDueRecordFm fm;
        fm.exportReadersClick();
        setExcelExportFolder({});
        QCOMPARE(d.messenger.opened.size(), 1);
        QString error;
        const auto sheet = SpreadsheetReader::openFile(d.messenger.opened.first(), &error);
        QVERIFY2(sheet, qPrintable(error));
        QCOMPARE(sheet->rowCount(), 3);
        QStringList header;
        for (int c = 1; c <= sheet->columnCount(); ++c)
            header << sheet->cell(1, c);
        QCOMPARE(header, QStringList({"读者编号", "读者姓名", "班级", "院系", "单位部门",
                                      "联系电话", "住址", "超期数量", "最早应还日期"}));
        QCOMPARE(sheet->cell(2, 1), QStringLiteral("R1"));
        QCOMPARE(sheet->cell(2, 3), QStringLiteral("三年二班"));
        QCOMPARE(sheet->cell(2, 6), QStringLiteral("13800000001"));
        QCOMPARE(sheet->cell(2, 8), QStringLiteral("2"));
        QCOMPARE(sheet->cell(2, 9), QStringLiteral("2026-02-20"));
        QCOMPARE(sheet->cell(3, 1), QStringLiteral("R2"));
        QCOMPARE(sheet->cell(3, 2), QStringLiteral("李四"));
    }
};

TUSHU_TEST(OverdueNoticesTest)
#include "tst_OverdueNotices.moc"
