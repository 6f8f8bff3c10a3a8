#include "../common/RecordingMessenger.h"
#include "../common/TestLibrary.h"
#include "../common/TestMain.h"
#include "CirculationFixture.h"
#include "circulation/BkBorrowUt.h"
#include "circulation/BorrowOptBkUt.h"
#include "circulation/BorrowOptRdUt.h"
#include "circulation/LendingPickers.h"
#include "circulation/RowsGrid.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

namespace {
// Records, with each message, whether a picker was open when it was shown.
class PickerAwareMessenger : public RecordingMessenger
{
public:
    QList<bool> pickerOpen;
    void information(QWidget* parent, const QString& text, const QString& caption) override
    {
        pickerOpen << (qobject_cast<PickerDialog*>(QApplication::activeModalWidget()) != nullptr);
        RecordingMessenger::information(parent, text, caption);
    }
};

// Double-clicks the field; once the picker is up, types text into its name or number field,
// searches and presses "选择(&S)". Returns the rows the picker showed.
template <class Picker> int pickThrough(QLineEdit* field, const QString& text, bool byNumber)
{
    int rows = -1;
    QTimer::singleShot(0, [&] {
        auto* picker = qobject_cast<Picker*>(QApplication::activeModalWidget());
        if (!picker)
            return;
        QLineEdit* edit = byNumber ? picker->numberEdit() : picker->nameEdit();
        edit->setText(text);
        QTest::keyClick(edit, Qt::Key_Return);
        rows = picker->grid()->rowCount();
        QTest::mouseClick(picker->chooseButton(), Qt::LeftButton);
    });
    QTest::mouseDClick(field, Qt::LeftButton);
    return rows;
}
} // namespace

// The pickers opened from the lending screen hand their choice to its own checks.
class LendingPickersTest : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        LoginState::reset();
        Fixture::fixClock();
        installLendingPickers();
    }
    void cleanup()
    {
        TBkBorrowFm::setReaderPicker({});
        TBkBorrowFm::setItemPicker({});
        Clock::setNow({});
    }

    void pickedReaderAndItemGoThroughLendingChecks()
    {
        TestLibrary lib(TestLibrary::SQLite, true, true);
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        lib.db().execute(QStringLiteral("update 读者库 set 状态 = ? where 读者编号 = ?"),
                         {QStringLiteral("停用"), QStringLiteral("R0002")});
        PickerAwareMessenger messenger;
        TBkBorrowFm screen;
        screen.show();

        // A suspended reader is refused by the lending screen while the picker is open.
        QCOMPARE(
            pickThrough<TBorrowOptRdFm>(screen.readerNumberEdit(), QStringLiteral("R0002"), true),
            1);
        QCOMPARE(screen.readerNumberEdit()->text(), QStringLiteral("R0002"));
        QVERIFY(!screen.lending().readerPassed());
        QCOMPARE(messenger.texts().size(), 1);
        QVERIFY(messenger.lastText().startsWith(QStringLiteral("该用户状态是")));
        QCOMPARE(messenger.pickerOpen, QList<bool>{true});
        QTRY_VERIFY(!QApplication::activeModalWidget());

        QCOMPARE(
            pickThrough<TBorrowOptRdFm>(screen.readerNumberEdit(), QStringLiteral("R0001"), true),
            1);
        QVERIFY(screen.lending().readerPassed());
        QCOMPARE(screen.lending().reader()->读者编号, QStringLiteral("R0001"));

        // Items by title; then by barcode when the screen looks items up by barcode.
        QCOMPARE(pickThrough<TBorrowOptBkFm>(screen.itemEdit(), QStringLiteral("红楼"), false), 1);
        QCOMPARE(screen.itemEdit()->text(), QStringLiteral("B0001"));
        screen.findChild<QRadioButton*>(QStringLiteral("barcodeKeyRadio"))->click();
        QCOMPARE(pickThrough<TBorrowOptBkFm>(screen.itemEdit(), QStringLiteral("三国演义"), false),
                 1);
        QCOMPARE(screen.itemEdit()->text(),
                 DbValue::toText(
                     lib.db().scalar(QStringLiteral("select 条形码 from 图书 where 编号 = ?"),
                                     {QStringLiteral("B0002")})));
        QCOMPARE(screen.lending().list().size(), 2);
        QCOMPARE(screen.lending().list()[1].编号, QStringLiteral("B0002"));

        // With periodicals chosen the picker lists periodicals.
        screen.findChild<QRadioButton*>(QStringLiteral("periodicalRadio"))->click();
        screen.findChild<QRadioButton*>(QStringLiteral("numberKeyRadio"))->click();
        QCOMPARE(pickThrough<TBorrowOptBkFm>(screen.itemEdit(), QStringLiteral("Q0001"), true), 1);
        QCOMPARE(screen.lending().list().size(), 3);
        QCOMPARE(screen.lending().list()[2].类别, QStringLiteral("期刊"));
        screen.close();
    }
};

TUSHU_TEST(LendingPickersTest)
#include "tst_LendingPickers.moc"
