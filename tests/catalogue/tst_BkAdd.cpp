#include "../common/PdfText.h"
#include "../common/RecordingMessenger.h"
#include "../common/TestLibrary.h"
#include "../common/TestMain.h"
#include "catalogue/BkAddUt.h"
#include "catalogue/BookLabel.h"
#include "data/Clock.h"
#include "data/LoginState.h"
#include "report/ReportPreview.h"
#include "widgets/ScreenRegistry.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace {

// The entry screen, shown off screen over a new library with a recording messenger.
struct Fixture
{
    explicit Fixture(TestLibrary::Engine engine = TestLibrary::SQLite) : lib(engine)
    {
        LoginState::reset();
        LoginState::instance().OperatorName = QStringLiteral("张三");
        screen = std::make_unique<TBkAddFm>();
        screen->show();
    }

    template <class W = QLineEdit> W* field(const char* objectName) const
    {
        W* w = screen->findChild<W*>(QString::fromLatin1(objectName));
        if (!w)
            qFatal("no widget %s", objectName);
        return w;
    }
    QLineEdit* edit(const char* objectName) const { return field<QLineEdit>(objectName); }
    QComboBox* list(const char* objectName) const { return field<QComboBox>(objectName); }
    QCheckBox* check(const char* objectName) const { return field<QCheckBox>(objectName); }
    void click(const char* objectName) const
    {
        QTest::mouseClick(field<QPushButton>(objectName), Qt::LeftButton);
    }
    void enter(const char* objectName, const QString& text) const
    {
        edit(objectName)->setText(text);
        QTest::keyClick(edit(objectName), Qt::Key_Return);
    }
    // The fields a save needs beyond the initial values.
    void fillBook(const QString& number, const QString& title) const
    {
        edit("bookNumberEdit")->setText(number);
        edit("titleEdit")->setText(title);
    }
    int books() { return lib.db().scalar(QStringLiteral("select count(*) from 图书")).toInt(); }

    TestLibrary lib;
    RecordingMessenger messenger;
    std::unique_ptr<TBkAddFm> screen;
};

} // namespace

class BkAddTest : public QObject
{
    Q_OBJECT
private slots:
    void init() { Clock::setNow(QDateTime(QDate(2026, 3, 14), QTime(9, 0))); }
    void cleanup()
    {
        Clock::setNow({});
        setReportPreviewHook({});
    }

    void initialState()
    {
        Fixture f;
        QVERIFY(!f.messenger.shown.size());
        QCOMPARE(f.screen->windowTitle(), QStringLiteral("添加图书---字体加重的项必须填写"));
        const BookRecord r = f.screen->record();
        QCOMPARE(r.条形码, QStringLiteral("n"));
        QCOMPARE(r.电子文档, QStringLiteral("n"));
        QCOMPARE(r.数量, QStringLiteral("1"));
        QCOMPARE(r.价格, QStringLiteral("0"));
        QCOMPARE(r.页数, QStringLiteral("0"));
        QCOMPARE(r.币种, QStringLiteral("人民币"));
        QCOMPARE(r.物品级别, QStringLiteral("普通"));
        QCOMPARE(r.状态, QStringLiteral("正常"));
        QCOMPARE(r.来源, QStringLiteral("购买"));
        QCOMPARE(r.编号, QString());
        QCOMPARE(r.出版社, QString());
        QCOMPARE(f.list("publisherCombo")->itemText(0), QStringLiteral("人民邮电出版社"));
        QCOMPARE(f.list("attachmentCombo")->count(), 3);
        QCOMPARE(f.list("statusCombo")->itemText(1), QStringLiteral("不外借"));
        QCOMPARE(f.list("sourceCombo")->itemText(1), QStringLiteral("捐赠"));
        QVERIFY(f.check("clearAfterSaveCheck")->isChecked());
        QVERIFY(!f.check("printLabelCheck")->isChecked());
        QVERIFY(!f.check("autoNumberCheck")->isChecked());
        QVERIFY(!f.field<QGroupBox>("autoNumberGroup")->isVisible());
        QVERIFY(!f.edit("donorEdit")->isVisible());
        QVERIFY(!f.field<QPushButton>("onlineLookupButton")->isVisible());
        QVERIFY(f.edit("callNumberEdit")->isReadOnly());
        QVERIFY(f.edit("pinyinEdit")->isReadOnly());
        QVERIFY(f.edit("zchEdit")->isReadOnly());
        QCOMPARE(f.edit("bookNumberEdit")->accessibleName(), QStringLiteral("图书编号"));
        QVERIFY(f.screen->findChild<QLabel*>()->font().bold());
    }

    void registeredCommand()
    {
        TestLibrary lib;
        RecordingMessenger messenger;
        registerCatalogueScreens();
        QWidget* screen = ScreenRegistry::instance().open(Command::AddBook, nullptr);
        QVERIFY(qobject_cast<TBkAddFm*>(screen));
        QCOMPARE(ScreenRegistry::instance().open(Command::AddBook, nullptr), screen);
        screen->close();
        QTRY_VERIFY(!ScreenRegistry::instance().existing(Command::AddBook));
    }

    void requiredFieldBeeps_data()
    {
        QTest::addColumn<QString>("field");
        for (const char* f :
             {"bookNumberEdit", "titleEdit", "barcodeEdit", "quantityEdit", "priceEdit"})
            QTest::newRow(f) << QString::fromLatin1(f);
        QTest::newRow("itemLevelCombo") << QStringLiteral("itemLevelCombo");
    }
    void requiredFieldBeeps()
    {
        QFETCH(QString, field);
        Fixture f;
        f.fillBook(QStringLiteral("B1"), QStringLiteral("数据库原理"));
        if (field == QStringLiteral("itemLevelCombo"))
            f.list("itemLevelCombo")->setEditText(QString());
        else
            f.edit(field.toLatin1().constData())->clear();
        f.click("saveButton");
        QCOMPARE(f.messenger.beeps, 1);
        QCOMPARE(f.messenger.texts(), QStringList{QStringLiteral("字体加重的项目必须填写完整!")});
        QCOMPARE(f.books(), 0);
        QCOMPARE(f.edit("titleEdit")->text(),
                 field == QStringLiteral("titleEdit") ? QString() : QStringLiteral("数据库原理"));
    }

    void saveThenClear_data()
    {
        QTest::addColumn<bool>("clear");
        QTest::newRow("clearing") << true;
        QTest::newRow("keeping") << false;
    }
    void saveThenClear()
    {
        QFETCH(bool, clear);
        Fixture f;
        f.check("clearAfterSaveCheck")->setChecked(clear);
        f.fillBook(QStringLiteral("B1"), QStringLiteral("数据库原理"));
        f.edit("quantityEdit")->setText(QStringLiteral("4"));
        f.edit("authorEdit")->setText(QStringLiteral("作者甲"));
        f.list("sourceCombo")->setEditText(QStringLiteral("捐赠"));
        f.edit("donorEdit")->setText(QStringLiteral("李四"));
        f.list("itemLevelCombo")->setEditText(QStringLiteral("  "));
        f.enter("classNumberEdit", QStringLiteral("TP3"));
        const QDate published(2001, 2, 3);
        f.field<QDateEdit>("publishDateEdit")->setDate(published);
        f.click("saveButton");
        QCOMPARE(f.messenger.texts(), QStringList{QStringLiteral("保存完毕,请继续录入下一条!")});
        QCOMPARE(f.messenger.beeps, 0);
        QSqlQuery q =
            f.lib.db().query(QStringLiteral("select 数量, 作者, 捐赠人, 物品级别, 索书号, zch, "
                                            "出版时间, 登记人 from 图书 where 编号 = ?"),
                             {QStringLiteral("B1")});
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toInt(), 4);
        QCOMPARE(q.value(1).toString(), QStringLiteral("作者甲"));
        QCOMPARE(q.value(2).toString(), QStringLiteral("李四"));
        QCOMPARE(q.value(3).toString(), QStringLiteral("普通"));
        QCOMPARE(q.value(4).toString(), QStringLiteral("TP3/1"));
        QCOMPARE(q.value(5).toInt(), 1);
        QCOMPARE(q.value(6).toString(), QStringLiteral("2001-02-03"));
        QCOMPARE(q.value(7).toString(), QStringLiteral("张三"));

        const BookRecord r = f.screen->record();
        QCOMPARE(r.编号, QStringLiteral("B1")); // never cleared
        QCOMPARE(r.出版时间, published);
        QCOMPARE(r.名称, clear ? QString() : QStringLiteral("数据库原理"));
        QCOMPARE(r.py, clear ? QString() : QStringLiteral("SJKYL"));
        QCOMPARE(r.数量, clear ? QStringLiteral("1") : QStringLiteral("4"));
        QCOMPARE(r.索书号, clear ? QString() : QStringLiteral("TP3/1"));
        QCOMPARE(r.来源, clear ? QStringLiteral("购买") : QStringLiteral("捐赠"));
        QCOMPARE(r.捐赠人, clear ? QString() : QStringLiteral("李四"));
        QCOMPARE(f.edit("donorEdit")->isVisible(), !clear);
        QCOMPARE(r.物品级别, clear ? QStringLiteral("普通") : QStringLiteral("  "));
    }

    void duplicateNumberShowsDatabaseMessage()
    {
        Fixture f;
        f.check("clearAfterSaveCheck")->setChecked(true);
        f.fillBook(QStringLiteral("B1"), QStringLiteral("甲"));
        f.click("saveButton");
        f.messenger.clear();
        f.fillBook(QStringLiteral("B1"), QStringLiteral("乙"));
        f.check("printLabelCheck")->setChecked(true);
        bool labelShown = false;
        setReportPreviewHook([&](const PreparedReport&) { labelShown = true; });
        f.click("saveButton");
        QCOMPARE(f.messenger.shown.size(), 1);
        QCOMPARE(f.messenger.shown[0].kind, QStringLiteral("error"));
        QVERIFY(!f.messenger.shown[0].text.isEmpty());
        QVERIFY(f.messenger.shown[0].text != QStringLiteral("保存完毕,请继续录入下一条!"));
        QVERIFY(!labelShown);
        QCOMPARE(f.books(), 1);
        QCOMPARE(f.edit("titleEdit")->text(), QStringLiteral("乙"));
    }

    void autoNumbering_data()
    {
        QTest::addColumn<bool>("confirm");
        QTest::addColumn<QStringList>("numbers"); // after 确定 (if pressed), then after each save
        QTest::newRow("A + 001") << true
                                 << QStringList{QStringLiteral("A001"), QStringLiteral("A002"),
                                                QStringLiteral("A003")};
        QTest::newRow("ticked without 确定")
            << false << QStringList{QString(), QStringLiteral("2"), QStringLiteral("3")};
    }
    void autoNumbering()
    {
        QFETCH(bool, confirm);
        QFETCH(QStringList, numbers);
        Fixture f;
        f.check("autoNumberCheck")->setChecked(true);
        QVERIFY(f.field<QGroupBox>("autoNumberGroup")->isVisible());
        f.edit("startValueEdit")->setText(QStringLiteral("001"));
        if (confirm)
            f.click("confirmNumberButton");
        QCOMPARE(f.edit("bookNumberEdit")->text(), numbers[0]);
        for (int i = 1; i < numbers.size(); ++i) {
            if (!confirm && i == 1)
                f.edit("bookNumberEdit")->setText(QStringLiteral("X1"));
            f.edit("titleEdit")->setText(QStringLiteral("书%1").arg(i));
            f.click("saveButton");
            QCOMPARE(f.edit("bookNumberEdit")->text(), numbers[i]);
        }
        QCOMPARE(f.books(), numbers.size() - 1);
        // Unticking hides the group and keeps the numbering.
        f.check("autoNumberCheck")->setChecked(false);
        QVERIFY(!f.field<QGroupBox>("autoNumberGroup")->isVisible());
        f.edit("titleEdit")->setText(QStringLiteral("另一本"));
        f.click("saveButton");
        QCOMPARE(f.edit("bookNumberEdit")->text(), numbers.last());
    }

    void startValueMustBeWholeNumber()
    {
        Fixture f;
        f.check("autoNumberCheck")->setChecked(true);
        f.edit("bookNumberEdit")->setText(QStringLiteral("X9"));
        f.edit("startValueEdit")->setText(QStringLiteral("1.5"));
        f.click("confirmNumberButton");
        QCOMPARE(f.messenger.texts(),
                 QStringList{QStringLiteral("'1.5' is not a valid integer value")});
        QCOMPARE(f.edit("bookNumberEdit")->text(), QStringLiteral("X9"));
    }

    void barcodeEnter_data()
    {
        QTest::addColumn<QString>("bccc");
        QTest::addColumn<QStringList>("texts");
        QTest::newRow("hint on") << QStringLiteral("1")
                                 << QStringList{QStringLiteral("提示:数据库中已经有该条码!")};
        QTest::newRow("hint off") << QStringLiteral("0") << QStringList();
    }
    void barcodeEnter()
    {
        QFETCH(QString, bccc);
        QFETCH(QStringList, texts);
        Fixture f;
        f.lib.db().execute(
            QStringLiteral("insert into 出版社名 (出版社名, ISBN, 出版地) values (?, ?, ?)"),
            {QStringLiteral("某出版社"), QStringLiteral("7-11"), QStringLiteral("北京")});
        f.lib.db().execute(QStringLiteral("insert into 图书 (编号, 名称, 条形码, 数量) values "
                                          "('B0', '旧书', '9787115113115', 1)"));
        LoginState::instance().BcCc = bccc;
        f.enter("barcodeEdit", QStringLiteral("9787115113115"));
        QCOMPARE(f.list("publisherCombo")->currentText(), QStringLiteral("某出版社"));
        QCOMPARE(f.edit("isbnEdit")->text(), QStringLiteral("7-11"));
        QCOMPARE(f.messenger.texts(), texts);
        // The hint does not stop the save.
        f.fillBook(QStringLiteral("B1"), QStringLiteral("数据库原理"));
        f.click("saveButton");
        QCOMPARE(f.books(), 2);
    }

    void computedFields()
    {
        Fixture f;
        for (int i = 1; i <= 12; ++i)
            f.lib.db().execute(QStringLiteral("insert into 图书 (编号, 名称, 分类号, zch, 数量) "
                                              "values (?, '书', 'I247', ?, 1)"),
                               {QStringLiteral("B%1").arg(i), i});
        f.enter("classNumberEdit", QStringLiteral("I247"));
        QCOMPARE(f.edit("callNumberEdit")->text(), QStringLiteral("I247/13"));
        QCOMPARE(f.edit("zchEdit")->text(), QStringLiteral("13"));
        f.enter("classNumberEdit", QString());
        QCOMPARE(f.edit("callNumberEdit")->text(), QStringLiteral("I247/13"));

        f.edit("titleEdit")->insert(QStringLiteral("中国"));
        QCOMPARE(f.edit("pinyinEdit")->text(), QStringLiteral("ZG"));
        f.edit("titleEdit")->setText(QStringLiteral("A中"));
        QCOMPARE(f.edit("pinyinEdit")->text(), QStringLiteral(" "));

        f.messenger.fileAnswers.enqueue(QStringLiteral("/home/lib/电子书.pdf"));
        QTest::mouseClick(f.edit("documentEdit"), Qt::LeftButton);
        QCOMPARE(f.edit("documentEdit")->text(), QStringLiteral("/home/lib/电子书.pdf"));
        QTest::mouseClick(f.edit("documentEdit"), Qt::LeftButton); // cancelled: kept
        QCOMPARE(f.edit("documentEdit")->text(), QStringLiteral("/home/lib/电子书.pdf"));

        QTest::keyClicks(f.edit("quantityEdit"), QStringLiteral("2x."));
        QCOMPARE(f.edit("quantityEdit")->text(), QStringLiteral("12"));
        QTest::keyClicks(f.edit("priceEdit"), QStringLiteral(".5y"));
        QCOMPARE(f.edit("priceEdit")->text(), QStringLiteral("0.5"));
    }

    void donorFollowsSource()
    {
        Fixture f;
        QComboBox* source = f.list("sourceCombo");
        source->setCurrentIndex(source->findText(QStringLiteral("捐赠")));
        QVERIFY(f.edit("donorEdit")->isVisible());
        f.edit("donorEdit")->setText(QStringLiteral("李四"));
        source->setEditText(QStringLiteral("购买"));
        QVERIFY(!f.edit("donorEdit")->isVisible());
        QCOMPARE(f.edit("donorEdit")->text(), QString());
        source->setEditText(QStringLiteral(" 捐赠 "));
        QVERIFY(f.edit("donorEdit")->isVisible());
    }

    void labelAfterSave()
    {
        Fixture f;
        f.check("printLabelCheck")->setChecked(true);
        f.fillBook(QStringLiteral("A001"), QStringLiteral("数据库原理"));
        f.edit("barcodeEdit")->setText(QStringLiteral("9787115113115"));
        f.enter("classNumberEdit", QStringLiteral("TP311"));
        std::optional<PreparedReport> label;
        int messagesBefore = -1;
        setReportPreviewHook([&](const PreparedReport& p) {
            label = p;
            messagesBefore = int(f.messenger.shown.size());
        });
        f.click("saveButton");
        QVERIFY(label.has_value());
        QCOMPARE(messagesBefore, 0); // the label comes before "保存完毕"
        QCOMPARE(f.messenger.texts(), QStringList{QStringLiteral("保存完毕,请继续录入下一条!")});
        QCOMPARE(label->pageCount(), 1);
        QCOMPARE(label->textsOf(QStringLiteral("Memo1")), QStringList{QStringLiteral("A001")});
        QCOMPARE(label->textsOf(QStringLiteral("Memo2")), QStringList{QStringLiteral("TP311/1")});
        QCOMPARE(label->textsOf(QStringLiteral("Memo3")), QStringList{QStringLiteral("TP311")});
        QCOMPARE(label->textsOf(QStringLiteral("Memo9")),
                 QStringList{QStringLiteral("数据库原理")});
        QCOMPARE(label->textsOf(QStringLiteral("BAR1")),
                 QStringList{QStringLiteral("9787115113115")});

        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("label.pdf"));
        QString error;
        QVERIFY2(label->exportPdf(pdf, &error), qPrintable(error));
        const QString text = pdfText(pdf);
        for (const QString& s :
             {QStringLiteral("9787115113115"), QStringLiteral("A001"), QStringLiteral("TP311/1"),
              QStringLiteral("索书号:"), QStringLiteral("数据库原理")})
            QVERIFY2(text.contains(s), qPrintable(s + QStringLiteral(" not in: ") + text));
    }

    void labelLeavesEmptyValuesOut()
    {
        BookRecord r;
        r.编号 = QStringLiteral("B7");
        r.条形码 = QStringLiteral("n");
        const PreparedReport label = BookLabel::prepare(r);
        QCOMPARE(label.textsOf(QStringLiteral("Memo1")), QStringList{QStringLiteral("B7")});
        for (const char* memo : {"Memo2", "Memo3", "Memo9"})
            QCOMPARE(label.textsOf(QString::fromLatin1(memo)).join(QString()), QString());
        QCOMPARE(label.textsOf(QStringLiteral("Bar1")), QStringList{QStringLiteral("n")});
    }
};

TUSHU_TEST(BkAddTest)
#include "tst_BkAdd.moc"
