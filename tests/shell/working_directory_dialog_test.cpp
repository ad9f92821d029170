#include "shell/working_directory_dialog.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

#include "errors/input_error.h"
#include "gui_support/scripted_prompts.h"

namespace cifrovar {
namespace {

const QString not_available = "Pracovní adresář není k dispozici, zvolte jiný";
const QString cannot_write = "Do tohoto adresáře nemůžete zapisovat !";
const QString no_drive = "Disk není k dispozici !";

// OK reports its refusal as an input error of the command, with the program's full-stop rule.
QString refused() {
    return QString::fromStdString(shown_message("Do tohoto adresáře nemáte povolen zápis"));
}

// Sets an environment variable for the lifetime of the object.
class EnvironmentValue {
  public:
    EnvironmentValue(const char* name, const QString& value)
        : name_(name), had_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name)) {
        qputenv(name, QFile::encodeName(value));
    }
    ~EnvironmentValue() {
        if (had_) {
            qputenv(name_, old_);
        } else {
            qunsetenv(name_);
        }
    }

  private:
    const char* name_;
    bool had_;
    QByteArray old_;
};

// Breaks a folder in the way a row names: deleted, replaced by a file, or its parent deleted.
bool break_folder(const QString& folder, const QString& how) {
    if (how == "none") return true;
    if (how == "parent deleted") return QDir(QFileInfo(folder).absolutePath()).removeRecursively();
    if (!QDir(folder).removeRecursively()) return false;
    if (how == "deleted") return true;
    QFile file(folder);
    return how == "replaced by a file" && file.open(QIODevice::WriteOnly) && file.write("x") == 1;
}

// A temporary tree with the working directory "work", the documents folder "docs" and other
// folders, and a dialog over them that records what it asks and where it moves the choosers.
struct Setup {
    QTemporaryDir temp;
    QString work = make("parent/work");
    QString docs = make("docs");
    std::string adresar = work.toStdString();
    testing::ScriptedPrompts prompts;
    QStringList dialog_folders;

    QStringList messages() const { return {prompts.errors.begin(), prompts.errors.end()}; }

    QString make(const QString& name) {
        const QString path = QDir(temp.path()).filePath(name);
        return QDir().mkpath(path) ? path : QString();
    }
    std::unique_ptr<Tzal_adres> dialog() {
        return std::make_unique<Tzal_adres>(
            adresar, docs.toStdString(), prompts,
            [this](const QString& folder) { dialog_folders << folder; });
    }
};

void click(Tzal_adres& dialog, const char* name) {
    auto* button = dialog.findChild<QPushButton*>(name);
    QVERIFY2(button != nullptr, name);
    button->click();
}

}  // namespace

class WorkingDirectoryDialogTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void cleanupTestCase();
    void ok_accepts_writable_folder_data();
    void ok_accepts_writable_folder();
    void ok_refuses_unusable_folder_data();
    void ok_refuses_unusable_folder();
    void ok_refuses_read_only_folder_data();
    void ok_refuses_read_only_folder();
    void showing_checks_working_directory_data();
    void showing_checks_working_directory();
    void empty_working_directory_is_current_directory_data();
    void empty_working_directory_is_current_directory();
    void drive_selector_data();
    void drive_selector();
    void every_close_returns_to_working_directory_data();
    void every_close_returns_to_working_directory();

  private:
    // The home and configuration folders of the whole run point into a temporary folder.
    std::unique_ptr<QTemporaryDir> home_;
    std::vector<std::unique_ptr<EnvironmentValue>> environment_;
};

void WorkingDirectoryDialogTest::initTestCase() {
    home_ = std::make_unique<QTemporaryDir>();
    QVERIFY(home_->isValid());
    for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"}) {
        const QString folder = QDir(home_->path()).filePath(name);
        QVERIFY(QDir().mkpath(folder));
        environment_.push_back(std::make_unique<EnvironmentValue>(name, folder));
    }
}

void WorkingDirectoryDialogTest::cleanupTestCase() {
    environment_.clear();
    home_.reset();
}

void WorkingDirectoryDialogTest::ok_accepts_writable_folder_data() {
    QTest::addColumn<QString>("target");
    QTest::newRow("another folder") << "other";
    QTest::newRow("nested folder") << "other/deeper/deepest";
    QTest::newRow("folder with diacritics and spaces") << "výpočty a zálohy";
    QTest::newRow("the working directory itself") << "parent/work";
}

void WorkingDirectoryDialogTest::ok_accepts_writable_folder() {
    QFETCH(QString, target);
    Setup s;
    const QString folder = s.make(target);
    auto dialog = s.dialog();
    dialog->show();
    QVERIFY(dialog->select_folder(folder));
    QCOMPARE(dialog->shown_folder(), folder);

    click(*dialog, "ok_button");

    QCOMPARE(s.messages(), QStringList{});
    QCOMPARE(QString::fromStdString(s.adresar), folder);
    QCOMPARE(s.dialog_folders, QStringList({s.work, folder}));
    QCOMPARE(dialog->result(), int(QDialog::Accepted));
    QVERIFY(!dialog->isVisible());
    QCOMPARE(dialog->shown_folder(), folder);
}

void WorkingDirectoryDialogTest::ok_refuses_unusable_folder_data() {
    QTest::addColumn<QString>("how");
    // Root writes anywhere, so these are the folders no permission bits can make writable.
    QTest::newRow("deleted after it was chosen") << "deleted";
    QTest::newRow("replaced by a file after it was chosen") << "replaced by a file";
    QTest::newRow("parent deleted after it was chosen") << "parent deleted";
}

void WorkingDirectoryDialogTest::ok_refuses_unusable_folder() {
    QFETCH(QString, how);
    Setup s;
    const QString folder = s.make("chosen/folder");
    auto dialog = s.dialog();
    dialog->show();
    QVERIFY(dialog->select_folder(folder));
    QVERIFY(break_folder(folder, how));

    click(*dialog, "ok_button");

    QCOMPARE(s.messages(), QStringList{refused()});
    QCOMPARE(QString::fromStdString(s.adresar), s.work);
    QCOMPARE(s.dialog_folders, QStringList{s.work});
    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->shown_folder(), folder);
}

void WorkingDirectoryDialogTest::ok_refuses_read_only_folder_data() {
    QTest::addColumn<QString>("folder");
    // Permission bits hold only for an ordinary user; /proc takes no new files even from root.
    QTest::newRow("folder without write permission") << "";
    QTest::newRow("file system that takes no files") << "/proc";
}

void WorkingDirectoryDialogTest::ok_refuses_read_only_folder() {
    QFETCH(QString, folder);
    Setup s;
    if (folder.isEmpty()) {
        folder = s.make("read-only");
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
        QFile probe(QDir(folder).filePath("probe"));
        if (probe.open(QIODevice::WriteOnly)) {
            probe.remove();
            QSKIP("this user writes into folders without write permission");
        }
    }
    auto dialog = s.dialog();
    dialog->show();
    QVERIFY(dialog->select_folder(folder));

    click(*dialog, "ok_button");

    QCOMPARE(s.messages(), QStringList{refused()});
    QCOMPARE(QString::fromStdString(s.adresar), s.work);
    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->shown_folder(), folder);
}

void WorkingDirectoryDialogTest::showing_checks_working_directory_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("usable");
    QTest::newRow("working directory intact") << "none" << true;
    QTest::newRow("working directory deleted") << "deleted" << false;
    QTest::newRow("working directory replaced by a file") << "replaced by a file" << false;
    QTest::newRow("parent of the working directory deleted") << "parent deleted" << false;
}

void WorkingDirectoryDialogTest::showing_checks_working_directory() {
    QFETCH(QString, how);
    QFETCH(bool, usable);
    Setup s;
    auto dialog = s.dialog();
    QCOMPARE(s.messages(), QStringList{});
    QVERIFY(break_folder(s.work, how));

    // The user answers the dialog with Zrušit: the replacement stands all the same.
    QString shown_while_open;
    QTimer::singleShot(0, dialog.get(), [&] {
        shown_while_open = dialog->shown_folder();
        click(*dialog, "zrus_button");
    });
    QCOMPARE(dialog->show_dialog(), int(QDialog::Rejected));

    const QString expected = usable ? s.work : s.docs;
    QCOMPARE(shown_while_open, expected);
    QCOMPARE(QString::fromStdString(s.adresar), expected);
    QCOMPARE(s.messages(), usable ? QStringList{} : QStringList{not_available});
    // The choosers move only to a folder that passed the test.
    QCOMPARE(s.dialog_folders, usable ? QStringList({s.work, s.work}) : QStringList{s.work});
}

void WorkingDirectoryDialogTest::empty_working_directory_is_current_directory_data() {
    QTest::addColumn<bool>("delete_current");
    QTest::newRow("writable current directory") << false;
    QTest::newRow("current directory deleted") << true;
}

void WorkingDirectoryDialogTest::empty_working_directory_is_current_directory() {
    QFETCH(bool, delete_current);
    Setup s;
    const QString current = s.make("current");
    auto dialog = s.dialog();
    const QString before = QDir::currentPath();
    QVERIFY(QDir::setCurrent(current));
    if (delete_current) QVERIFY(QDir().rmdir(current));
    s.adresar.clear();

    const bool usable = dialog->check_working_directory();
    QVERIFY(QDir::setCurrent(before));

    QCOMPARE(usable, !delete_current);
    const QString expected = delete_current ? s.docs : current;
    QCOMPARE(QString::fromStdString(s.adresar), expected);
    QCOMPARE(dialog->shown_folder(), expected);
    QCOMPARE(s.messages(), delete_current ? QStringList{not_available} : QStringList{});
}

void WorkingDirectoryDialogTest::drive_selector_data() {
    QTest::addColumn<bool>("remove_home");
    QTest::newRow("home folder present") << false;
    QTest::newRow("home folder removed after the list was made") << true;
}

void WorkingDirectoryDialogTest::drive_selector() {
    QFETCH(bool, remove_home);
    Setup s;
    const QString home = s.make("home");
    const EnvironmentValue home_value("HOME", home);
    auto dialog = s.dialog();
    auto* drives = dialog->findChild<QComboBox*>("zal_drive");
    QVERIFY(drives != nullptr);
    const int index = drives->findData(home);
    QVERIFY(index >= 0);
    QVERIFY(drives->currentIndex() != index);
    if (remove_home) QVERIFY(QDir(home).removeRecursively());

    dialog->choose_drive(index);

    QCOMPARE(QString::fromStdString(s.adresar), s.work);
    QCOMPARE(s.dialog_folders, QStringList{s.work});
    QCOMPARE(dialog->shown_folder(), remove_home ? s.docs : home);
    QCOMPARE(s.messages(), remove_home ? QStringList{no_drive} : QStringList{});
    // The selector names the drive of the folder the list shows.
    QCOMPARE(drives->currentIndex() == index, !remove_home);
}

void WorkingDirectoryDialogTest::every_close_returns_to_working_directory_data() {
    QTest::addColumn<QString>("close");
    QTest::addColumn<QString>("deleted");
    for (const char* close : {"Zrušit", "Esc", "close box"}) {
        QTest::addRow("%s, working directory intact", close) << close << "nothing";
        QTest::addRow("%s, working directory deleted meanwhile", close) << close << "work";
        // Without documents the list falls back to the current directory.
        QTest::addRow("%s, working directory and documents deleted", close) << close << "both";
    }
}

void WorkingDirectoryDialogTest::every_close_returns_to_working_directory() {
    QFETCH(QString, close);
    QFETCH(QString, deleted);
    Setup s;
    const QString other = s.make("other");
    auto dialog = s.dialog();
    dialog->show();
    QVERIFY(dialog->select_folder(other));
    if (deleted != "nothing") QVERIFY(break_folder(s.work, "deleted"));
    if (deleted == "both") QVERIFY(break_folder(s.docs, "deleted"));

    if (close == "Zrušit") {
        click(*dialog, "zrus_button");
    } else if (close == "Esc") {
        QTest::keyClick(dialog.get(), Qt::Key_Escape);
    } else {
        dialog->close();
    }

    QVERIFY(!dialog->isVisible());
    QCOMPARE(dialog->result(), int(QDialog::Rejected));
    const QString expected = deleted == "nothing" ? s.work
                             : deleted == "work"  ? s.docs
                                                  : QDir::currentPath();
    QCOMPARE(dialog->shown_folder(), expected);
    // A working directory that went missing is replaced, and said so once.
    QCOMPARE(QString::fromStdString(s.adresar), expected);
    QCOMPARE(s.messages(), deleted == "nothing" ? QStringList{} : QStringList{cannot_write});
    QCOMPARE(s.dialog_folders, QStringList{s.work});
}

}  // namespace cifrovar

QTEST_MAIN(cifrovar::WorkingDirectoryDialogTest)
#include "working_directory_dialog_test.moc"
