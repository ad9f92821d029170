// Qt's own texts come in Czech once the translation is installed: the standard buttons of a
// message box and the texts of the file dialog the program uses.
#include "shell/qt_translation.h"

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

namespace cifrovar {

class QtTranslationTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { QVERIFY(install_qt_czech(*QCoreApplication::instance())); }

    void message_box_buttons() {
        QMessageBox box(QMessageBox::Question, "Cifrovar", "?",
                        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        QCOMPARE(box.button(QMessageBox::Yes)->text(), QString("&Ano"));
        QCOMPARE(box.button(QMessageBox::No)->text(), QString("&Ne"));
        QCOMPARE(box.button(QMessageBox::Cancel)->text(), QString("Zrušit"));
    }

    void file_dialog_texts() {
        QFileDialog dialog;
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        auto* buttons = dialog.findChild<QDialogButtonBox*>();
        QVERIFY(buttons != nullptr);
        QStringList texts;
        for (QAbstractButton* b : buttons->buttons()) texts << b->text();
        for (QLabel* label : dialog.findChildren<QLabel*>()) texts << label->text();
        for (const char* english : {"&Save", "Cancel", "Look in:", "File &name:"})
            QVERIFY2(!texts.contains(english), english);
        QVERIFY2(texts.contains("&Uložit"), qPrintable(texts.join(" | ")));
    }
};

}  // namespace cifrovar

QTEST_MAIN(cifrovar::QtTranslationTest)
#include "qt_translation_test.moc"
