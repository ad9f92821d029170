// The main window's file commands: where their choosers open, and the rendered text behind the
// result display.
#include <QDir>
#include <QtTest>

#include "gui_support/window_fixture.h"
#include "support/gmp_oracle.h"
#include "viewer/digit_view.h"
#include "viewer/result_viewer.h"

using namespace cifrovar;
using namespace cifrovar::testing;

class MainWindowFilesTest : public QObject {
    Q_OBJECT

  private slots:
    // A chooser the user cancels after moving to another folder reopens in that folder, and a
    // chooser of another kind keeps its own.
    void cancelled_chooser_reopens_where_it_was_left_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("other");  // the chooser of another kind opened afterwards
        QTest::newRow("Otevřít") << "b_otevri" << 1;
        QTest::newRow("Uložit") << "b_uloz" << 0;
        QTest::newRow("Uložit text") << "b_uloztext" << 0;
    }
    void cancelled_chooser_reopens_where_it_was_left() {
        QFETCH(QString, command);
        QFETCH(int, other);
        WindowFixture f;
        const QString start = f.path("start");
        const QString visited = f.path("visited");
        QVERIFY(QDir().mkpath(start) && QDir().mkpath(visited));
        f.window->set_dialog_folders(start);
        f.run_power("2", "10");
        auto use = [&](const QString& name) {
            if (name == "b_uloztext") {
                f.when_viewer_shown([&] { f.window->viewer().b_uloztextClick(); });
                f.click("b_text");
            } else {
                f.click(name.toLatin1().constData());
            }
            return f.prompts.file_choices.back().folder;
        };
        f.prompts.folders.push_back(visited);
        QCOMPARE(use(command), start);
        QCOMPARE(use(command), visited);
        const char* others[] = {"b_otevri", "b_uloz"};
        QCOMPARE(use(others[other]), start);
        QVERIFY(f.prompts.errors.empty());
    }

    // The rendered text is gone from the disk as soon as the viewer has it; the viewer still
    // shows, copies and saves the whole result.
    void rendered_text_is_deleted_once_shown() {
        const QByteArray saved = qgetenv("TMPDIR");
        WindowFixture f;
        const QString temp = f.path("temp");
        QVERIFY(QDir().mkpath(temp));
        qputenv("TMPDIR", temp.toLocal8Bit());
        f.run_power("3", "3000");
        QStringList left_on_disk{"<not shown>"};
        QString shown;
        f.prompts.files.push_back(f.path("saved.txt"));
        f.when_viewer_shown([&] {
            left_on_disk = QDir(temp).entryList(QDir::Files);
            auto* view = f.window->viewer().findChild<DigitView*>("vysledovka");
            view->select_all();
            shown = view->selected_text();
            f.window->viewer().b_uloztextClick();
        });
        f.click("b_text");
        if (saved.isNull()) {
            qunsetenv("TMPDIR");
        } else {
            qputenv("TMPDIR", saved);
        }
        QCOMPARE(left_on_disk, QStringList{});
        QCOMPARE(shown.toStdString(), power_text(3, 3000));
        QCOMPARE(read_file(f.path("saved.txt")), power_text(3, 3000));
        QVERIFY(f.prompts.errors.empty());
    }
};

QTEST_MAIN(MainWindowFilesTest)
#include "main_window_files_test.moc"
