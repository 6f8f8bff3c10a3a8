#include "../common/TestMain.h"
#include "widgets/Translations.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

// Qt's own buttons and dialogs speak Chinese once its translations are installed; without
// them the program still starts.
class TranslationsTest : public QObject
{
    Q_OBJECT
private slots:
    void missingTranslationsAreNotAnError()
    {
        QTemporaryDir empty;
        QVERIFY(!installChineseTranslations(empty.path()));
    }

    void standardButtonsSpeakChinese()
    {
        QVERIFY2(installChineseTranslations(), "qtbase_zh_CN.qm is not installed");
        QMessageBox box(QMessageBox::Question, QStringLiteral("图书管理系统"),
                        QStringLiteral("确认要退出吗?"), QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(box.button(QMessageBox::Yes)->text(), QStringLiteral("是(&Y)"));
        QCOMPARE(box.button(QMessageBox::No)->text(), QStringLiteral("否(&N)"));
        QMessageBox ok(QMessageBox::Information, QStringLiteral("图书管理系统"),
                       QStringLiteral("借阅完毕!"), QMessageBox::Ok);
        QCOMPARE(ok.button(QMessageBox::Ok)->text(), QStringLiteral("确定"));
    }
};

TUSHU_TEST(TranslationsTest)
#include "tst_Translations.moc"
