#include "../common/TestLibrary.h"
#include "../common/TestMain.h"
#include "circulation/Lending.h"
#include "circulation/Renewal.h"
#include "circulation/Returning.h"
#include "readers/ReaderAccount.h"

#include <QDir>
#include <QFile>
#include <QTest>

namespace {
// The text of every page of the operators' guide, entities read back as characters.
QString guideText()
{
    const QDir guide(QStringLiteral(TUSHU_GUIDE_DIR));
    QString all;
    for (const QString& name : guide.entryList({QStringLiteral("*.html")}, QDir::Files)) {
        QFile page(guide.filePath(name));
        if (page.open(QIODevice::ReadOnly))
            all += QString::fromUtf8(page.readAll());
    }
    return all.replace(QStringLiteral("&quot;"), QStringLiteral("\""))
        .replace(QStringLiteral("&#x27;"), QStringLiteral("'"))
        .replace(QStringLiteral("&lt;"), QStringLiteral("<"))
        .replace(QStringLiteral("&gt;"), QStringLiteral(">"))
        .replace(QStringLiteral("&amp;"), QStringLiteral("&"));
}
} // namespace

// The guide lists the desk's refusals word for word: each one the rules give on the demo
// library is found in its pages, so a changed message cannot leave the guide behind.
class GuideMessagesTest : public QObject
{
    Q_OBJECT
private slots:
    void deskRefusalsAreInTheGuide()
    {
        const QString guide = guideText();
        QVERIFY(guide.contains(QStringLiteral("借阅完毕!")));
        TestLibrary lib(TestLibrary::SQLite, true, false);
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        const Database& db = lib.db();
        db.execute(QStringLiteral("update 读者库 set 状态 = ? where 读者编号 = ?"),
                   {QStringLiteral("停用"), QStringLiteral("R0002")});
        db.execute(QStringLiteral("update 图书 set 预定状况 = ?, 预定到期时间 = ? where 编号 = ?"),
                   {QStringLiteral("R0003"), QDateTime::currentDateTime().addDays(2),
                    QStringLiteral("B0002")});

        QStringList refusals;
        Lending lending(db);
        lending.settings().启用预定功能 = true;
        refusals << lending.bksearch(QStringLiteral("B0001")).message;
        refusals << lending.RdSearch(QStringLiteral("R9999")).message;
        refusals << lending.RdSearch(QStringLiteral("R0002")).message;
        QVERIFY(lending.RdSearch(QStringLiteral("R0001")).passed);
        refusals << lending.bksearch(QStringLiteral("B9999")).message;
        refusals << lending.bksearch(QStringLiteral("B0050")).message;
        refusals << lending.bksearch(QStringLiteral("B0002")).message;
        QVERIFY(lending.bksearch(QStringLiteral("B0001")).added);
        refusals << lending.bksearch(QStringLiteral("B0001")).message;

        Returning returning(db);
        refusals << returning.search({}, {}, {}).message;
        ReturnEntry entry;
        entry.实际租期 = QStringLiteral("两天");
        refusals << returning.giveBack(OpenLoan{}, entry).messages.value(0);

        refusals << Renewal::notFoundMessage() << Renewal::loanGoneMessage()
                 << Renewal::doneMessage();
        refusals << ReaderAccount(db)
                        .topUp(QStringLiteral("R0001"), QStringLiteral("张伟"), QStringLiteral("0"),
                               false, {})
                        .message;

        for (const QString& text : std::as_const(refusals)) {
            QVERIFY(!text.isEmpty());
            QVERIFY2(guide.contains(text), qPrintable(QStringLiteral("不在指南中: ") + text));
        }
    }
};

TUSHU_TEST(GuideMessagesTest)
#include "tst_GuideMessages.moc"
