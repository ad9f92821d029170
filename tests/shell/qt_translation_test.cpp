// Qt's own texts come in Czech once the translation is installed: the standard buttons of a
// message box, the texts of the file dialog the program uses and the kinds of files it lists.
#include "shell/qt_translation.h"

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QMimeType>
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

    // The kinds of entries in the dialog's file list: folders, and files as the MIME database
    // names them.
    void kinds_of_files() {
        QCOMPARE(QFileIconProvider().type(QFileInfo(QDir::tempPath())), QString("Složka"));
        const QMimeType text = QMimeDatabase().mimeTypeForName("text/plain");
        if (!text.isValid()) QSKIP("no MIME database");
        QCOMPARE(text.comment(), QString("prostý textový dokument"));
    }
};

}  // namespace cifrovar

QTEST_MAIN(cifrovar::QtTranslationTest)
#include "qt_translation_test.moc"
