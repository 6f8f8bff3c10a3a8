#include "../common/RecordingMessenger.h"
#include "../common/TestMain.h"
#include "widgets/ResultMessages.h"

#include <QTest>

Q_DECLARE_METATYPE(RuleResult)

// How a screen shows a rules result and asks the question of a check.
class ResultMessagesTest : public QObject
{
    Q_OBJECT
private slots:
    void showsAndAsks_data()
    {
        QTest::addColumn<RuleResult>("result");
        QTest::addColumn<bool>("answer");
        QTest::addColumn<QStringList>("kinds"); // shown by showResult
        QTest::addColumn<QStringList>("texts"); // shown by showResult
        QTest::addColumn<bool>("goesOn");       // confirmResult's answer
        QTest::addColumn<QStringList>("asked"); // kinds shown by confirmResult
        const QString a = QStringLiteral("删除完毕!");
        const QString b = QStringLiteral("第二条");
        const QStringList information{QStringLiteral("information")};
        QTest::newRow("done, in order")
            << RuleResult::written({a, b}) << true
            << QStringList{QStringLiteral("information"), QStringLiteral("information")}
            << QStringList{a, b} << true << QStringList();
        QTest::newRow("done, silent") << RuleResult::written() << true << QStringList()
                                      << QStringList() << true << QStringList();
        QTest::newRow("refused") << RuleResult::refused(a) << true << information << QStringList{a}
                                 << false << information;
        QTest::newRow("failed") << RuleResult::failed(a) << true
                                << QStringList{QStringLiteral("error")} << QStringList{a} << false
                                << QStringList{QStringLiteral("error")};
        QTest::newRow("nothing") << RuleResult::nothing() << true << QStringList() << QStringList()
                                 << false << QStringList();
        const RuleResult ask =
            RuleResult::ask(QStringLiteral("您是否要删除"), QStringLiteral("确认"));
        QTest::newRow("question, yes") << ask << true << QStringList() << QStringList() << true
                                       << QStringList{QStringLiteral("confirm")};
        QTest::newRow("question, no") << ask << false << QStringList() << QStringList() << false
                                      << QStringList{QStringLiteral("confirm")};
    }
    void showsAndAsks()
    {
        QFETCH(RuleResult, result);
        QFETCH(bool, answer);
        QFETCH(QStringList, kinds);
        QFETCH(QStringList, texts);
        QFETCH(bool, goesOn);
        QFETCH(QStringList, asked);
        RecordingMessenger messenger;
        auto shownKinds = [&] {
            QStringList out;
            for (const RecordingMessenger::Shown& s : messenger.shown)
                out << s.kind;
            return out;
        };
        showResult(nullptr, result);
        QCOMPARE(shownKinds(), kinds);
        QCOMPARE(messenger.texts(), texts);

        messenger.clear();
        messenger.confirmAnswers.enqueue(answer);
        QCOMPARE(confirmResult(nullptr, result), goesOn);
        QCOMPARE(shownKinds(), asked);
        if (result.status == RuleResult::Confirm) {
            QCOMPARE(messenger.shown.first().text, result.question);
            QCOMPARE(messenger.shown.first().caption, result.caption);
        }
    }
};

TUSHU_TEST(ResultMessagesTest)
#include "tst_ResultMessages.moc"
