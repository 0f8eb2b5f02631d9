#include "authoring/UQuery.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using testsupport::whenModalShown;

class TestAuthoring : public QObject
{
    Q_OBJECT

private slots:
    void nameDialogAnswersOnlyItsButtons();
};

// The name dialog is confirmed or abandoned only by its buttons and its close
// box; Enter and Esc in the edit neither confirm nor close it.
void TestAuthoring::nameDialogAnswersOnlyItsButtons()
{
    TFormQuery form;
    QCOMPARE(form.objectName(), QStringLiteral("TFormQuery"));
    QCOMPARE(form.size(), QSize(339, 192));
    QCOMPARE(form.ButtonOK->text(), QStringLiteral("OK"));
    QCOMPARE(form.ButtonAnnulla->text(), QStringLiteral("Annulla"));
    form.setWindowTitle(QStringLiteral("Salva con nome"));
    form.Label1->setText(QStringLiteral("Scrivi il nome dell'esercizio"));
    form.Edit1->setText(QStringLiteral("primo"));

    int result = -1;
    whenModalShown([&](QWidget* modal) {
        QCOMPARE(modal, static_cast<QWidget*>(&form));
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(form.Edit1));
        form.Edit1->selectAll();
        QTest::keyClicks(form.Edit1, QStringLiteral("Il gatto"));
        QTest::keyClick(form.Edit1, Qt::Key_Return);
        QTest::keyClick(form.Edit1, Qt::Key_Escape);
        QVERIFY(form.isVisible());
        QTest::keyClick(form.Edit1, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(form.ButtonOK));
        QTest::keyClick(form.ButtonOK, Qt::Key_Space);
    });
    result = form.exec();
    QCOMPARE(result, int(QDialog::Accepted));
    QCOMPARE(form.Edit1->text(), QStringLiteral("Il gatto"));

    whenModalShown([&](QWidget*) { form.close(); });
    QCOMPARE(form.exec(), int(QDialog::Rejected));
    whenModalShown([&](QWidget*) { QTest::mouseClick(form.ButtonAnnulla, Qt::LeftButton); });
    QCOMPARE(form.exec(), int(QDialog::Rejected));
}

QTEST_MAIN(TestAuthoring)
#include "tst_authoring.moc"
