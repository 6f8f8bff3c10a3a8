#include "../common/RecordingMessenger.h"
#include "../common/TestLibrary.h"
#include "../common/TestMain.h"
#include "catalogue/MarcExport.h"
#include "catalogue/MarcExportUt.h"
#include "catalogue/MarcImport.h"
#include "data/LoginState.h"
#include "data/TextHelpers.h"

#include <QComboBox>
#include <QFile>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>

namespace {

// The columns a MARC file carries, and those the import makes from them.
QStringList carried()
{
    return MarcExport::columns() << QStringLiteral("索书号") << QStringLiteral("py");
}

QList<QStringList> rows(const Database& db)
{
    QList<QStringList> out;
    QSqlQuery q =
        db.query(QStringLiteral("select %1 from 图书 order by 编号").arg(carried().join(',')));
    while (q.next()) {
        QStringList row;
        for (int i = 0; i < carried().size(); ++i)
            row << carried()[i] + QLatin1Char('=') + DbValue::toText(q.value(i));
        out << row;
    }
    return out;
}

void addBooks(const Database& db)
{
    const QString sql = QStringLiteral(
        "insert into 图书 (编号,名称,条形码,分类号,zch,索书号,数量,价格,isbn,作者,译者,出版社,"
        "出版时间,页数,简介,版次,py,借出次数,状态) values (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,0,?)");
    const QString normal = QStringLiteral("正常");
    const QString title = QStringLiteral("计算机网络");
    db.execute(sql,
               {QStringLiteral("A001"), title, QStringLiteral("B0001"), QStringLiteral("TP393"), 12,
                QStringLiteral("TP393/12"), 3,
                QVariant::fromValue(*Money::parse(QStringLiteral("35.5"))),
                QStringLiteral("9787115113115"), QStringLiteral("谢希仁"), QStringLiteral("张三"),
                QStringLiteral("电子工业出版社"), QStringLiteral("2008-08-08"), 235,
                QStringLiteral("两行\n简介 <b>&amp; \"引号\" 'ok'"), QStringLiteral("第2版"),
                PinyinInitials(title), normal});
    const QString second = QStringLiteral("程序设计语言");
    db.execute(sql, {QStringLiteral("A002"), second, QStringLiteral("B0002"),
                     QStringLiteral("TP312"), 1, QStringLiteral("TP312/1"), 1,
                     QVariant::fromValue(Money()), QString(), QString(), QString(), QString(),
                     QString(), 0, QString(), QString(), PinyinInitials(second), normal});
}

} // namespace

class MarcExportTest : public QObject
{
    Q_OBJECT
private slots:
    void init() { LoginState::reset(); }

    // The export of a library, imported into an empty one, gives the same rows back.
    void exportImportsBackUnchanged_data()
    {
        QTest::addColumn<int>("engine");
        QTest::addColumn<int>("format");
        QTest::addColumn<int>("syntax");
        for (const auto& [engineName, engine] :
             {std::pair{"sqlite", TestLibrary::SQLite}, {"postgresql", TestLibrary::PostgreSQL}})
            for (const auto& [formatName, format] :
                 {std::pair{"cnmarc", MarcFormat::Cnmarc}, {"marc21", MarcFormat::Marc21}})
                for (const auto& [syntaxName, syntax] :
                     {std::pair{"iso2709", MarcSyntax::Iso2709}, {"marcxml", MarcSyntax::MarcXml}})
                    QTest::addRow("%s %s %s", engineName, formatName, syntaxName)
                        << int(engine) << int(format) << int(syntax);
    }
    void exportImportsBackUnchanged()
    {
        QFETCH(int, engine);
        QFETCH(int, format);
        QFETCH(int, syntax);
        TUSHU_REQUIRE_ENGINE(engine);
        TestLibrary from{TestLibrary::Engine(engine), false, false};
        QVERIFY2(from.ok(), qPrintable(from.error()));
        addBooks(from.db());
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("library.mrc"));
        const MarcExport::Result exported =
            MarcExport::write(from.db(), {QStringLiteral("select * from 图书"), {}},
                              MarcFormat(format), MarcSyntax(syntax), path, QDate(2026, 12, 11));
        QVERIFY2(exported.ok(), qPrintable(exported.error));
        QCOMPARE(exported.written, 2);

        TestLibrary to{TestLibrary::Engine(engine), false, false};
        QVERIFY2(to.ok(), qPrintable(to.error()));
        MarcImportOptions options;
        options.numbering = MarcNumbering::ControlNumber;
        options.read.format = MarcFormat(format);
        MarcImport import(to.db(), options);
        QString error;
        QVERIFY2(import.load(path, &error), qPrintable(error));
        for (const MarcImportRecord& r : import.records())
            QVERIFY2(r.refusal.isEmpty(), qPrintable(r.refusal));
        const MarcImport::Result imported = import.run();
        QVERIFY2(imported.stored(), qPrintable(imported.import.error));
        QCOMPARE(imported.imported(), 2);
        QCOMPARE(rows(to.db()), rows(from.db()));
    }

    void chosenBooksOnly()
    {
        TestLibrary lib{TestLibrary::SQLite, false, false};
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        addBooks(lib.db());
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("one.xml"));
        const MarcExport::Result r =
            MarcExport::write(lib.db(), MarcExport::chosen({QStringLiteral("A002")}),
                              MarcFormat::Marc21, MarcSyntax::MarcXml, path, QDate(2026, 12, 11));
        QVERIFY2(r.ok(), qPrintable(r.error));
        QCOMPARE(r.written, 1);
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray xml = f.readAll();
        QVERIFY(xml.contains("程序设计语言"));
        QVERIFY(!xml.contains("A001"));
    }

    // The dialog of the book list: the current book in the chosen format, then the
    // searched ones; the operator is told how many records went out.
    void dialogExportsCurrentOrSearched()
    {
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        addBooks(lib.db());
        RecordingMessenger messages;
        QTemporaryDir dir;
        const QString one = dir.filePath(QStringLiteral("one.xml"));
        TMarcExportFm dialog({QStringLiteral("select * from 图书"), {}}, QStringLiteral("A001"));
        dialog.findChild<QComboBox*>(QStringLiteral("formatCombo"))->setCurrentIndex(1);
        dialog.findChild<QComboBox*>(QStringLiteral("syntaxCombo"))->setCurrentIndex(1);
        dialog.findChild<QComboBox*>(QStringLiteral("rangeCombo"))->setCurrentIndex(1);
        messages.fileAnswers.enqueue(one);
        dialog.exportClick();
        QCOMPARE(messages.lastText(), QStringLiteral("已导出1条记录到%1.").arg(one));
        QFile f(one);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray xml = f.readAll();
        QVERIFY(xml.contains("<datafield tag=\"245\""));
        QVERIFY(xml.contains("A001"));
        QVERIFY(!xml.contains("A002"));

        const QString all = dir.filePath(QStringLiteral("all.mrc"));
        TMarcExportFm searched({QStringLiteral("select * from 图书"), {}}, QString());
        QCOMPARE(searched.findChild<QComboBox*>(QStringLiteral("rangeCombo"))->count(), 1);
        messages.fileAnswers.enqueue(all);
        searched.exportClick();
        QCOMPARE(messages.lastText(), QStringLiteral("已导出2条记录到%1.").arg(all));
    }
};
TUSHU_TEST(MarcExportTest)

#include "tst_MarcExport.moc"
