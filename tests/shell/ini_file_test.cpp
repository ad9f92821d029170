#include "shell/ini_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <climits>

#include "gui_support/file_bytes.h"
#include "support/child_process.h"

namespace cifrovar {
namespace {

std::string str(const QByteArray& bytes) { return bytes.toStdString(); }

using testing::bytes_of;
using testing::exit_of_child;
using testing::write_bytes;

QStringList listing(const QString& folder) {
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// A profile with one key in section "a", or an empty one when missing is set.
IniFile with_value(const QByteArray& value, bool missing = false) {
    return IniFile::parse(missing ? "[a]\n" : "[a]\nk=" + str(value) + "\n");
}

}  // namespace

class IniFileTest : public QObject {
    Q_OBJECT

  private slots:
    void get_data();
    void get();
    void set_data();
    void set();
    void text_data();
    void text();
    void save_writes_the_text();
    void save_replaces_through_a_link_keeping_the_mode();
    void failed_save_data();
    void failed_save();
    void load_of_a_missing_file_is_empty();
    void load_of_anything_but_a_file_is_empty_data();
    void load_of_anything_but_a_file_is_empty();
    void save_to_anything_but_a_file_fails_data();
    void save_to_anything_but_a_file_fails();
    void save_in_a_read_only_folder_writes_in_place();
    void read_int_data();
    void read_int();
    void read_bool_data();
    void read_bool();
    void read_text_data();
    void read_text();
};

void IniFileTest::get_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("section");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QByteArray>("value");

    auto row = [](const char* name, const char* text, const char* section, const char* key,
                  bool found, const char* value) {
        QTest::newRow(name) << QByteArray(text) << QByteArray(section) << QByteArray(key) << found
                            << QByteArray(value);
    };
    row("CR LF lines", "[a]\r\nk=v\r\n", "a", "k", true, "v");
    row("LF lines", "[a]\nk=v\n", "a", "k", true, "v");
    row("no final line end", "[a]\nk=v", "a", "k", true, "v");
    row("names ignore case", "[NaStaveni]\nUkladat_Konf=1\n", "nastaveni", "ukladat_konf", true,
        "1");
    row("blanks trimmed", "[a]\n \t k  =  v w \t\n", "a", "k", true, "v w");
    row("after the first '='", "[a]\nk=x=y\n", "a", "k", true, "x=y");
    row("empty value", "[a]\nk=\n", "a", "k", true, "");
    row("blanks in the header", "  [ a ]  \nk=1\n", "a", "k", true, "1");
    row("first of two keys", "[a]\nk=1\nk=2\n", "a", "k", true, "1");
    row("section repeated later", "[a]\nx=1\n[b]\nk=2\n[A]\nk=3\n", "a", "k", true, "3");
    row("line without '=' skipped", "[a]\nk\nk=2\n", "a", "k", true, "2");
    row("byte order mark", "\xEF\xBB\xBF[a]\nk=1\n", "a", "k", true, "1");
    row("missing key", "[a]\nj=1\n", "a", "k", false, "");
    row("missing section", "[b]\nk=1\n", "a", "k", false, "");
    row("key of another section", "[a]\nj=1\n[b]\nk=1\n", "a", "k", false, "");
    row("key before any section", "k=1\n[a]\n", "a", "k", false, "");
    row("comment is no key", "[a]\n;k=1\n  ; k=2\n", "a", "k", false, "");
    row("name is no prefix", "[a]\nkk=1\n", "a", "k", false, "");
}

void IniFileTest::get() {
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, section);
    QFETCH(QByteArray, key);
    QFETCH(bool, found);
    QFETCH(QByteArray, value);

    const auto got = IniFile::parse(str(text)).get(str(section), str(key));
    QCOMPARE(got.has_value(), found);
    if (found) QCOMPARE(QByteArray::fromStdString(*got), value);
}

void IniFileTest::set_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("section");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QByteArray>("expected");

    auto row = [](const char* name, const char* text, const char* section, const char* key,
                  const char* value, const char* expected) {
        QTest::newRow(name) << QByteArray(text) << QByteArray(section) << QByteArray(key)
                            << QByteArray(value) << QByteArray(expected);
    };
    row("update keeps the rest", "; hlava\n[a]\nk=1\n; c\nx=2\n[b]\nk=9\n", "a", "k", "5",
        "; hlava\r\n[a]\r\nk=5\r\n; c\r\nx=2\r\n[b]\r\nk=9\r\n");
    row("update keeps spelling and blanks", "[A]\n  K = 1  \n", "a", "k", "7",
        "[A]\r\n  K = 7\r\n");
    row("update only the first", "[a]\nk=1\nk=2\n", "a", "k", "3", "[a]\r\nk=3\r\nk=2\r\n");
    row("update to empty", "[a]\nk=1\n", "a", "k", "", "[a]\r\nk=\r\n");
    row("append after the last key", "[a]\nk=1\n; c\nj=2\n\n; konec\n[b]\nz=1\n", "a", "n", "3",
        "[a]\r\nk=1\r\n; c\r\nj=2\r\nn=3\r\n\r\n; konec\r\n[b]\r\nz=1\r\n");
    row("append into an empty section", "[a]\n; nic\n[b]\nz=1\n", "a", "n", "2",
        "[a]\r\nn=2\r\n; nic\r\n[b]\r\nz=1\r\n");
    row("append into the first of two", "[a]\nk=1\n[b]\n[a]\nj=2\n", "a", "n", "3",
        "[a]\r\nk=1\r\nn=3\r\n[b]\r\n[a]\r\nj=2\r\n");
    row("append a section", "[a]\nk=1\n", "b", "n", "2", "[a]\r\nk=1\r\n[b]\r\nn=2\r\n");
    row("append to an empty file", "", "a", "k", "1", "[a]\r\nk=1\r\n");
    row("key before any section stays", "n=0\n[a]\n", "a", "n", "1", "n=0\r\n[a]\r\nn=1\r\n");
    row("line break cannot add lines", "[a]\n", "a", "k", "x\r\n[b]\r\ny=1", "[a]\r\nk=x\r\n");
    row("line feed cannot add lines", "[a]\nk=1\n", "a", "k", "2\n[b]", "[a]\r\nk=2\r\n");
}

void IniFileTest::set() {
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, section);
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, value);
    QFETCH(QByteArray, expected);

    IniFile ini = IniFile::parse(str(text));
    ini.set(str(section), str(key), str(value));
    QCOMPARE(QByteArray::fromStdString(ini.text()), expected);
    const auto back = IniFile::parse(ini.text()).get(str(section), str(key));
    QVERIFY(back.has_value());
}

void IniFileTest::text_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("output");

    QTest::newRow("empty") << QByteArray() << QByteArray();
    QTest::newRow("LF to CR LF") << QByteArray("[a]\nk=1\n") << QByteArray("[a]\r\nk=1\r\n");
    QTest::newRow("CR LF kept") << QByteArray("[a]\r\n\r\nk=1\r\n")
                                << QByteArray("[a]\r\n\r\nk=1\r\n");
    QTest::newRow("mixed") << QByteArray("[a]\r\nk=1\nj=2") << QByteArray("[a]\r\nk=1\r\nj=2\r\n");
    QTest::newRow("blank lines kept")
        << QByteArray("\n\n[a]\n\n") << QByteArray("\r\n\r\n[a]\r\n\r\n");
    QTest::newRow("byte order mark kept")
        << QByteArray("\xEF\xBB\xBF[a]\n") << QByteArray("\xEF\xBB\xBF[a]\r\n");
}

void IniFileTest::text() {
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, output);
    QCOMPARE(QByteArray::fromStdString(IniFile::parse(str(input)).text()), output);
}

void IniFileTest::save_writes_the_text() {
    QTemporaryDir dir;
    const QString path = dir.filePath("cifrovar.ini");
    IniFile ini = IniFile::parse("; hlava\n[a]\nk=1\n");
    QVERIFY(ini.save(path.toStdString()));
    QCOMPARE(bytes_of(path), QByteArray("; hlava\r\n[a]\r\nk=1\r\n"));

    ini.set("a", "k", "2");
    QVERIFY(ini.save(path.toStdString()));
    QCOMPARE(bytes_of(path), QByteArray("; hlava\r\n[a]\r\nk=2\r\n"));
    QCOMPARE(listing(dir.path()), QStringList{"cifrovar.ini"});
    QCOMPARE(IniFile::load(path.toStdString()).get("a", "k"), std::optional<std::string>("2"));
}

void IniFileTest::save_replaces_through_a_link_keeping_the_mode() {
    QTemporaryDir dir;
    const QString real = dir.filePath("real.ini");
    const QString link = dir.filePath("link.ini");
    write_bytes(real, "[a]\r\nk=1\r\n");
    const auto mode = QFile::ReadOwner | QFile::WriteOwner;
    QVERIFY(QFile::setPermissions(real, mode));
    QVERIFY(QFile::link(real, link));

    IniFile ini = IniFile::load(link.toStdString());
    ini.set("a", "k", "2");
    QVERIFY(ini.save(link.toStdString()));
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(bytes_of(real), QByteArray("[a]\r\nk=2\r\n"));
    const auto owner_group_other = ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser);
    QCOMPARE(QFile::permissions(real) & owner_group_other, mode);
}

void IniFileTest::failed_save_data() {
    QTest::addColumn<QString>("target");  // relative to the test folder
    QTest::newRow("missing folder") << "missing/cifrovar.ini";
    QTest::newRow("parent is a regular file") << "old.ini/cifrovar.ini";
    QTest::newRow("target is a folder") << "folder";
}

// The folder holds a file old.ini and a folder with a file in it; a failed save changes neither
// and leaves no temporary file anywhere.
void IniFileTest::failed_save() {
    QFETCH(QString, target);
    QTemporaryDir dir;
    const QByteArray old = "[a]\r\nk=stare\r\n";
    write_bytes(dir.filePath("old.ini"), old);
    QVERIFY(QDir(dir.path()).mkdir("folder"));
    write_bytes(dir.filePath("folder/inside.txt"), "x");
    const QStringList before = listing(dir.path());

    const IniFile ini = IniFile::parse("[a]\nk=nove\n");
    QVERIFY(!ini.save(dir.filePath(target).toStdString()));

    QCOMPARE(listing(dir.path()), before);
    QCOMPARE(listing(dir.filePath("folder")), QStringList{"inside.txt"});
    QCOMPARE(bytes_of(dir.filePath("old.ini")), old);
}

void IniFileTest::load_of_a_missing_file_is_empty() {
    QTemporaryDir dir;
    QCOMPARE(IniFile::load(dir.filePath("none.ini").toStdString()).text(), std::string());
    QCOMPARE(IniFile::load(dir.path().toStdString()).text(), std::string());
}

void IniFileTest::load_of_anything_but_a_file_is_empty_data() {
    QTest::addColumn<QString>("node");
    QTest::newRow("FIFO nobody writes") << "fifo";
    QTest::newRow("link to /dev/zero") << "/dev/zero";
    QTest::newRow("file of 2 MiB") << "big";
}

// A FIFO, a device or a file far beyond any settings neither blocks the start nor fills the
// memory: the start goes on with the default settings.
void IniFileTest::load_of_anything_but_a_file_is_empty() {
    QFETCH(QString, node);
    QTemporaryDir dir;
    const std::string path = dir.filePath("cifrovar.ini").toStdString();
    if (node == "fifo") {
        QCOMPARE(::mkfifo(path.c_str(), 0600), 0);
    } else if (node == "big") {
        write_bytes(QString::fromStdString(path), "[a]\r\nk=1\r\n");
        QCOMPARE(::truncate(path.c_str(), 2 << 20), 0);
    } else {
        QVERIFY(QFile::link(node, QString::fromStdString(path)));
    }
    const int code = exit_of_child([&] { return IniFile::load(path).text().empty() ? 0 : 1; }, 5,
                                   rlim_t{1} << 30);
    QCOMPARE(code, 0);
}

void IniFileTest::save_to_anything_but_a_file_fails_data() {
    QTest::addColumn<QString>("node");
    QTest::newRow("FIFO") << "fifo";
    QTest::newRow("link to /dev/null") << "/dev/null";
}

// The settings are only ever a regular file: anything else in their place is left as it is and
// the save fails at once.
void IniFileTest::save_to_anything_but_a_file_fails() {
    QFETCH(QString, node);
    QTemporaryDir dir;
    const QString path = dir.filePath("cifrovar.ini");
    if (node == "fifo")
        QCOMPARE(::mkfifo(path.toLocal8Bit().constData(), 0600), 0);
    else
        QVERIFY(QFile::link(node, path));
    const QFileInfo before(node == "fifo" ? path : node);
    const IniFile ini = IniFile::parse("[a]\nk=1\n");
    QCOMPARE(exit_of_child([&] { return ini.save(path.toStdString()) ? 0 : 1; }, 5), 1);
    const QFileInfo after(node == "fifo" ? path : node);
    QVERIFY(!after.isFile());
    QCOMPARE(after.lastModified(), before.lastModified());
    QCOMPARE(listing(dir.path()), QStringList{"cifrovar.ini"});
}

// A program folder that takes no new file still lets its existing settings file be written.
void IniFileTest::save_in_a_read_only_folder_writes_in_place() {
    QTemporaryDir dir;
    const QString path = dir.filePath("cifrovar.ini");
    write_bytes(path, "[a]\r\nk=stare, a delsi nez nove\r\n");
    QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
    IniFile ini = IniFile::parse("[a]\nk=1\n");
    const int code = exit_of_child([&] {
        testing::give_up_capabilities();
        return ini.save(path.toStdString()) ? 0 : 1;
    });
    QVERIFY(
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    QCOMPARE(code, 0);
    QCOMPARE(bytes_of(path), QByteArray("[a]\r\nk=1\r\n"));
    QCOMPARE(listing(dir.path()), QStringList{"cifrovar.ini"});
}

void IniFileTest::read_int_data() {
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<bool>("missing");
    QTest::addColumn<int32_t>("fallback");
    QTest::addColumn<int32_t>("expected");

    auto row = [](const char* name, const char* value, int32_t expected) {
        QTest::newRow(name) << QByteArray(value) << false << int32_t{-7} << expected;
    };
    row("decimal", "1000", 1000);
    row("negative", "-5", -5);
    row("leading zeros", "007", 7);
    row("blanks around", "  42 ", 42);
    row("minus zero", "-0", 0);
    row("largest", "2147483647", INT32_MAX);
    row("smallest", "-2147483648", INT32_MIN);
    row("hexadecimal", "0x3E8", 1000);
    row("hexadecimal upper X", "0X3e8", 1000);
    row("hexadecimal all ones", "0xFFFFFFFF", -1);
    row("hexadecimal sign bit", "0x80000000", INT32_MIN);
    row("hexadecimal leading zeros", "0x0000000010", 16);
    row("zero", "0", 0);
    row("just 0x", "0x", -7);
    row("bad hex digit", "0x3G", -7);
    row("hexadecimal beyond 32 bits", "0x100000000", -7);
    row("beyond the largest", "2147483648", -7);
    row("beyond the smallest", "-2147483649", -7);
    row("very long", "99999999999999999999999", -7);
    row("empty", "", -7);
    row("word", "tisic", -7);
    row("digits then letters", "12abc", -7);
    row("just a minus", "-", -7);
    row("plus sign", "+5", -7);
    row("blank inside", "1 000", -7);
    row("negative hexadecimal", "-0x10", -7);
    QTest::newRow("missing key") << QByteArray() << true << int32_t{33} << int32_t{33};
}

void IniFileTest::read_int() {
    QFETCH(QByteArray, value);
    QFETCH(bool, missing);
    QFETCH(int32_t, fallback);
    QFETCH(int32_t, expected);
    QCOMPARE(cifrovar::read_int(with_value(value, missing), "a", "k", fallback), expected);
}

void IniFileTest::read_bool_data() {
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<bool>("missing");
    QTest::addColumn<bool>("fallback");
    QTest::addColumn<bool>("expected");

    auto row = [](const char* name, const char* value, bool fallback, bool expected) {
        QTest::newRow(name) << QByteArray(value) << false << fallback << expected;
    };
    row("one", "1", false, true);
    row("two is true", "2", false, true);
    row("negative is true", "-1", false, true);
    row("zero", "0", true, false);
    row("hexadecimal zero", "0x0", true, false);
    row("hexadecimal non-zero", "0x10", false, true);
    row("word keeps false", "ano", false, false);
    row("word keeps true", "ne", true, true);
    row("empty keeps true", "", true, true);
    row("out of range keeps false", "4294967296", false, false);
    QTest::newRow("missing keeps true") << QByteArray() << true << true << true;
    QTest::newRow("missing keeps false") << QByteArray() << true << false << false;
}

void IniFileTest::read_bool() {
    QFETCH(QByteArray, value);
    QFETCH(bool, missing);
    QFETCH(bool, fallback);
    QFETCH(bool, expected);
    QCOMPARE(cifrovar::read_bool(with_value(value, missing), "a", "k", fallback), expected);
}

void IniFileTest::read_text_data() {
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<bool>("missing");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray a2046(2046, 'a');
    const QByteArray a2047(2047, 'a');
    const QByteArray cz = "\xC4\x8D";  // 'č', two bytes
    const QByteArray rz = "\xC5\x99";  // 'ř'
    QTest::newRow("short") << QByteArray("/home/u/výpočty") << false
                           << QByteArray("/home/u/výpočty");
    QTest::newRow("empty") << QByteArray() << false << QByteArray();
    QTest::newRow("2047 characters stay") << a2047 << false << a2047;
    QTest::newRow("2048 characters cut") << a2047 + "b" << false << a2047;
    QTest::newRow("much longer cut") << QByteArray(5000, 'x') << false << QByteArray(2047, 'x');
    QTest::newRow("2047 characters of 2048 bytes stay") << a2046 + cz << false << a2046 + cz;
    QTest::newRow("cut before a two-byte letter") << a2047 + cz << false << a2047;
    QTest::newRow("cut after a two-byte letter") << a2046 + cz + rz << false << a2046 + cz;
    QTest::newRow("letters only") << cz.repeated(3000) << false << cz.repeated(2047);
    QTest::newRow("missing") << QByteArray() << true << QByteArray("vychozi");
}

void IniFileTest::read_text() {
    QFETCH(QByteArray, value);
    QFETCH(bool, missing);
    QFETCH(QByteArray, expected);
    const std::string got = cifrovar::read_text(with_value(value, missing), "a", "k", "vychozi");
    QCOMPARE(QByteArray::fromStdString(got), expected);
}

}  // namespace cifrovar

QTEST_APPLESS_MAIN(cifrovar::IniFileTest)
#include "ini_file_test.moc"
