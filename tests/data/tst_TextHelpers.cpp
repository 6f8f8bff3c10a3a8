#include "../common/TestMain.h"
#include "data/LoginState.h"
#include "data/Money.h"
#include "data/TextCodec.h"
#include "data/TextHelpers.h"

#include <QTest>

class TextHelpersTest : public QObject
{
    Q_OBJECT
private slots:
    void pinyinInitials_data()
    {
        QTest::addColumn<QByteArray>("gbk");
        QTest::addColumn<QString>("expected");
        QTest::newRow("中国") << QByteArray("\xD6\xD0\xB9\xFA") << QStringLiteral("ZG");
        QTest::newRow("three characters")
            << TextCodec::toGbk(QStringLiteral("图书馆")) << QStringLiteral("TSG");
        QTest::newRow("one byte") << QByteArray("A") << QString();
        QTest::newRow("A中: pair 41 D6, odd byte dropped")
            << QByteArray("A\xD6\xD0") << QStringLiteral(" ");
        QTest::newRow("ab中") << QByteArray("ab\xD6\xD0") << QStringLiteral(" Z");
        QTest::newRow("level-2 character D8A1") << QByteArray("\xD8\xA1") << QStringLiteral(" ");
        QTest::newRow("range ends: B0A1 B0C4 B0C5 D7F9 D7FA")
            << QByteArray("\xB0\xA1\xB0\xC4\xB0\xC5\xD7\xF9\xD7\xFA") << QStringLiteral("AABZ ");
        QTest::newRow("below B0A1") << QByteArray("\xB0\xA0") << QStringLiteral(" ");
        QTest::newRow("no I U V: 'S' ends at CBF9, 'T' starts CBFA")
            << QByteArray("\xCB\xF9\xCB\xFA") << QStringLiteral("ST");
    }
    void pinyinInitials()
    {
        QFETCH(QByteArray, gbk);
        QFETCH(QString, expected);
        QCOMPARE(PinyinInitials(TextCodec::fromGbk(gbk)), expected);
    }

    void delimiters_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("date");
        QTest::newRow("access") << "a"
                                << "\""
                                << "#";
        QTest::newRow("server") << "s"
                                << "'"
                                << "'";
        QTest::newRow("other") << "x"
                               << ""
                               << "";
    }
    void delimiters()
    {
        QFETCH(QString, kind);
        QFETCH(QString, text);
        QFETCH(QString, date);
        LoginState::instance().DbKind = kind;
        QCOMPARE(StringDelimiter(), text);
        QCOMPARE(DateDelimiter(), date);
        LoginState::reset();
    }

    void moneyParseAndFormat_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<qint64>("units");
        QTest::addColumn<QString>("text");
        QTest::newRow("whole") << "12" << true << qint64(120000) << "12";
        QTest::newRow("decimals trimmed") << "7.50" << true << qint64(75000) << "7.5";
        QTest::newRow("four decimals") << "0.1234" << true << qint64(1234) << "0.1234";
        QTest::newRow("negative") << "-3.5" << true << qint64(-35000) << "-3.5";
        QTest::newRow("blanks") << " 2 " << true << qint64(20000) << "2";
        QTest::newRow("leading dot") << ".5" << true << qint64(5000) << "0.5";
        QTest::newRow("five decimals") << "1.23456" << false << qint64(0) << "";
        QTest::newRow("thousands") << "1,000" << false << qint64(0) << "";
        QTest::newRow("empty") << "" << false << qint64(0) << "";
        QTest::newRow("letters") << "abc" << false << qint64(0) << "";
    }
    void moneyParseAndFormat()
    {
        QFETCH(QString, input);
        QFETCH(bool, valid);
        QFETCH(qint64, units);
        QFETCH(QString, text);
        const auto m = Money::parse(input);
        QCOMPARE(m.has_value(), valid);
        if (valid) {
            QCOMPARE(m->units(), units);
            QCOMPARE(m->toString(), text);
        }
    }

    void moneyFromDatabaseValues()
    {
        // SQLite gives REAL, PostgreSQL numeric text with four decimals.
        QCOMPARE(Money::fromVariant(QVariant(0.1 + 0.2))->units(), 3000);
        QCOMPARE(Money::fromVariant(QVariant(QStringLiteral("12.3400")))->units(), 123400);
        QCOMPARE(Money::fromVariant(QVariant(QStringLiteral("1.00005")))->units(), 10001);
        QCOMPARE(Money::fromVariant(QVariant(qlonglong(3)))->units(), 30000);
        QVERIFY(!Money::fromVariant(QVariant()).has_value());
        // Rent of ten days at 0.5 without floating point.
        QCOMPARE((Money::parse(QStringLiteral("0.5"))->operator*(10)).toString(),
                 QStringLiteral("5"));
        QCOMPARE(Money::parse(QStringLiteral("-0.004"))->toFixed2(), QStringLiteral("0.00"));
        QCOMPARE(Money::parse(QStringLiteral("2.345"))->toFixed2(), QStringLiteral("2.35"));
    }
};

TUSHU_TEST(TextHelpersTest)
#include "tst_TextHelpers.moc"
