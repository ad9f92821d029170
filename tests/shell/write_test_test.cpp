#include "shell/write_test.h"

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace cifrovar {
namespace {

bool write_file(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Every entry of a folder, hidden ones included, as "name=content in hex", sorted by name.
QStringList contents(const QString& folder) {
    QStringList entries;
    const QDir dir(folder);
    for (const QString& name : dir.entryList(
             QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name)) {
        QFile f(dir.filePath(name));
        const QByteArray bytes = f.open(QIODevice::ReadOnly) ? f.readAll() : "<unreadable>";
        entries << name + "=" + QString::fromLatin1(bytes.toHex());
    }
    return entries;
}

// Runs the test with the current directory moved to folder, then moves it back.
bool writable_from(const QString& folder) {
    const QString before = QDir::currentPath();
    if (!QDir::setCurrent(folder)) return false;
    const bool writable = is_writable_directory("");
    QDir::setCurrent(before);
    return writable;
}

}  // namespace

class WriteTestTest : public QObject {
    Q_OBJECT

  private slots:
    void folders_data();
    void folders();
    void current_directory_data();
    void current_directory();
    void files_of_the_user_survive_data();
    void files_of_the_user_survive();
};

void WriteTestTest::folders_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("writable");
    QTest::newRow("writable folder") << "folder" << true;
    QTest::newRow("writable folder with a trailing slash") << "folder/" << true;
    QTest::newRow("folder with spaces and diacritics") << "čísla a zálohy" << true;
    QTest::newRow("missing folder") << "missing" << false;
    QTest::newRow("regular file") << "file" << false;
    QTest::newRow("path through a regular file") << "file/inner" << false;
    // Root may write anywhere, so a folder that was deleted stands for one that is not
    // writable: creating a file in it fails whatever the permissions.
    QTest::newRow("deleted folder") << "deleted" << false;
}

void WriteTestTest::folders() {
    QFETCH(QString, kind);
    QFETCH(bool, writable);
    QTemporaryDir temp;
    QVERIFY(temp.isValid());
    const QDir base(temp.path());
    QVERIFY(base.mkdir("folder"));
    QVERIFY(base.mkdir("čísla a zálohy"));
    QVERIFY(base.mkdir("deleted"));
    QVERIFY(write_file(base.filePath("file"), "content"));
    QVERIFY(base.rmdir("deleted"));

    const QString folder = base.filePath(kind);
    QCOMPARE(is_writable_directory(folder.toStdString()), writable);
    if (QFileInfo(folder).isDir()) QVERIFY(contents(folder).empty());
}

void WriteTestTest::current_directory_data() {
    QTest::addColumn<bool>("delete_it");
    QTest::addColumn<bool>("writable");
    QTest::newRow("writable current directory") << false << true;
    QTest::newRow("current directory deleted") << true << false;
}

void WriteTestTest::current_directory() {
    QFETCH(bool, delete_it);
    QFETCH(bool, writable);
    QTemporaryDir temp;
    QVERIFY(temp.isValid());
    const QString folder = QDir(temp.path()).filePath("cwd");
    QVERIFY(QDir().mkdir(folder));

    const QString before = QDir::currentPath();
    QVERIFY(QDir::setCurrent(folder));
    if (delete_it) QVERIFY(QDir().rmdir(folder));
    const bool result = is_writable_directory("");
    QVERIFY(QDir::setCurrent(before));

    QCOMPARE(result, writable);
    if (!delete_it) QVERIFY(contents(folder).empty());
}

void WriteTestTest::files_of_the_user_survive_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("test.txt") << "test.txt" << QByteArray("my notes\r\n");
    QTest::newRow("empty test.txt") << "test.txt" << QByteArray();
    QTest::newRow("hidden file") << ".config" << QByteArray("x=1\n");
    QTest::newRow("name like the test file")
        << ".cifrovar-write-test-AAAAAA" << QByteArray("keep me");
    QTest::newRow("backup") << "zal1f.cfr" << QByteArray("\x00\x01\x02", 3);
}

void WriteTestTest::files_of_the_user_survive() {
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QTemporaryDir temp;
    QVERIFY(temp.isValid());
    QVERIFY(write_file(QDir(temp.path()).filePath(name), bytes));
    QVERIFY(write_file(QDir(temp.path()).filePath("other.txt"), "other"));
    const QStringList before = contents(temp.path());

    for (int i = 0; i < 20; ++i) QVERIFY(is_writable_directory(temp.path().toStdString()));
    QVERIFY(writable_from(temp.path()));

    QCOMPARE(contents(temp.path()), before);
}

}  // namespace cifrovar

QTEST_GUILESS_MAIN(cifrovar::WriteTestTest)
#include "write_test_test.moc"
