#include "shell/dialog_prompts.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace cifrovar;

class DialogPromptsTest : public QObject {
    Q_OBJECT

  private slots:
    // The real chooser tells the folder the user moved it to, also when he cancels it.
    void cancelled_chooser_tells_its_last_folder_data() {
        QTest::addColumn<bool>("save");
        QTest::newRow("open") << false;
        QTest::newRow("save") << true;
    }
    void cancelled_chooser_tells_its_last_folder() {
        QFETCH(bool, save);
        QTemporaryDir dir;
        const QString start = dir.filePath("start");
        const QString visited = dir.filePath("visited");
        QVERIFY(QDir().mkpath(start) && QDir().mkpath(visited));
        FileChoice choice;
        choice.title = "Cifrovar";
        choice.folder = start;
        QString opened_in;
        QTimer user;
        connect(&user, &QTimer::timeout, [&] {
            auto* chooser = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (chooser == nullptr) return;
            user.stop();
            opened_in = chooser->directory().absolutePath();
            chooser->setDirectory(visited);
            chooser->reject();
        });
        user.start(10);
        DialogPrompts prompts;
        const FileAnswer answer = save ? prompts.save_file(choice) : prompts.open_file(choice);
        QCOMPARE(opened_in, start);
        QVERIFY(!answer.file);
        QCOMPARE(answer.folder, visited);
    }
};

QTEST_MAIN(DialogPromptsTest)
#include "dialog_prompts_test.moc"
