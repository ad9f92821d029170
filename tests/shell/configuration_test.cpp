#include "shell/configuration.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "gui_support/file_bytes.h"
#include "shell/ini_file.h"

Q_DECLARE_METATYPE(cifrovar::Configuration)

namespace cifrovar {
namespace {

using testing::bytes_of;
using testing::write_bytes;

std::string stored(const QString& path, const char* section, const char* key) {
    return IniFile::load(path.toStdString()).get(section, key).value_or("<none>");
}

// Every setting changed from its default, positions negative as on a screen left of the first.
Configuration everything_changed() {
    Configuration c;
    c.ukladat_konf = false;
    c.vysledek_auto = false;
    c.nuly_na_konci = false;
    c.zalamovat = true;
    c.ukaz_stav = 10;
    c.zalohy = 100000;
    c.log_chyby = true;
    c.left = -1200;
    c.top = 0;
    c.priorita = 64;
    c.zalomit_po = 512;
    c.hlavicka_vysledku = true;
    c.vypis_left = 1930;
    c.vypis_top = -15;
    c.vypis_width = 800;
    c.vypis_height = 600;
    c.adresar = "/home/uživatel/moje výpočty/";
    return c;
}

// The folders of a test: the program folder and the application-data folder, with '/'.
struct Folders {
    QTemporaryDir dir;
    std::string program() const { return dir.filePath("program/").toStdString(); }
    std::string app_data() const { return dir.filePath("data/").toStdString(); }
    Folders() {
        QDir(dir.path()).mkdir("program");
        QDir(dir.path()).mkdir("data");
    }
};

}  // namespace

class ConfigurationTest : public QObject {
    Q_OBJECT

  private slots:
    void first_write_with_defaults();
    void round_trip_data();
    void round_trip();
    void missing_file_reads_defaults();
    void unreadable_values_read_defaults_data();
    void unreadable_values_read_defaults();
    void intervals_data();
    void intervals();
    void update_keeps_the_rest_of_the_file();
    void stored_values_kept_data();
    void stored_values_kept();
    void write_into_a_missing_folder_fails();
    void paths();
    void viewer_path_data();
    void viewer_path();
    void delete_configuration_data();
    void delete_configuration();
};

void ConfigurationTest::first_write_with_defaults() {
    QTemporaryDir dir;
    const QString path = dir.filePath("cifrovar.ini");
    Configuration c;
    c.left = 100;
    c.top = 50;
    c.vypis_left = 10;
    c.vypis_top = 20;
    c.adresar = "/home/u/výpočty/";
    QVERIFY(write_configuration(path.toStdString(), c));
    QCOMPARE(bytes_of(path), QByteArray("[nastaveni]\r\n"
                                        "ukladat_konf=1\r\n"
                                        "vysledek_auto=1\r\n"
                                        "nuly_na_konci=1\r\n"
                                        "zalamovat=0\r\n"
                                        "ukaz_stav=1000\r\n"
                                        "zalohy=1000000000\r\n"
                                        "log_chyby=0\r\n"
                                        "priorita=32\r\n"
                                        "zalomit_po=80\r\n"
                                        "hlavicka_vysledku=0\r\n"
                                        "adresar=/home/u/výpočty/\r\n"
                                        "[poloha]\r\n"
                                        "left=100\r\n"
                                        "top=50\r\n"
                                        "vypis_max=0\r\n"
                                        "vypis_left=10\r\n"
                                        "vypis_top=20\r\n"
                                        "vypis_width=361\r\n"
                                        "vypis_height=242\r\n"));
}

void ConfigurationTest::round_trip_data() {
    QTest::addColumn<Configuration>("config");
    QTest::newRow("defaults, nothing optional") << Configuration{};
    QTest::newRow("everything changed") << everything_changed();
    Configuration maximised;
    maximised.vypis_max = true;
    maximised.left = 3;
    maximised.top = 4;
    QTest::newRow("maximised viewer") << maximised;
    Configuration empty_folder;
    empty_folder.adresar = "";
    QTest::newRow("empty folder name") << empty_folder;
    Configuration extremes;
    extremes.left = INT32_MIN;
    extremes.top = INT32_MAX;
    extremes.ukaz_stav = 1;
    extremes.zalohy = 1000000;
    QTest::newRow("extreme positions") << extremes;
}

void ConfigurationTest::round_trip() {
    QFETCH(Configuration, config);
    QTemporaryDir dir;
    const std::string path = dir.filePath("cifrovar.ini").toStdString();
    QVERIFY(write_configuration(path, config));
    QVERIFY(read_configuration(path) == config);
    // A second write over the first changes nothing.
    const QByteArray first = bytes_of(dir.filePath("cifrovar.ini"));
    QVERIFY(write_configuration(path, config));
    QCOMPARE(bytes_of(dir.filePath("cifrovar.ini")), first);
}

void ConfigurationTest::missing_file_reads_defaults() {
    QTemporaryDir dir;
    QVERIFY(read_configuration(dir.filePath("none.ini").toStdString()) == Configuration{});
}

void ConfigurationTest::unreadable_values_read_defaults_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("words") << QByteArray(
        "[nastaveni]\nukladat_konf=ano\npriorita=normal\nzalomit_po=\n"
        "[poloha]\nleft=vlevo\ntop=12abc\nvypis_width=0x\nvypis_max=snad\n");
    QTest::newRow("keys in the wrong section")
        << QByteArray("[poloha]\nukladat_konf=0\npriorita=64\n[nastaveni]\nleft=5\nvypis_max=1\n");
    QTest::newRow("out of range") << QByteArray(
        "[nastaveni]\nzalomit_po=4294967296\n[poloha]\nleft=2147483648\nvypis_left=0x1FFFFFFFF\n");
}

void ConfigurationTest::unreadable_values_read_defaults() {
    QFETCH(QByteArray, text);
    QTemporaryDir dir;
    write_bytes(dir.filePath("cifrovar.ini"), text);
    QVERIFY(read_configuration(dir.filePath("cifrovar.ini").toStdString()) == Configuration{});
}

void ConfigurationTest::intervals_data() {
    QTest::addColumn<QByteArray>("stored_progress");
    QTest::addColumn<QByteArray>("stored_backup");
    QTest::addColumn<int32_t>("progress");
    QTest::addColumn<int32_t>("backup");

    auto row = [](const char* name, const char* progress_text, const char* backup_text,
                  int32_t progress, int32_t backup) {
        QTest::newRow(name) << QByteArray(progress_text) << QByteArray(backup_text) << progress
                            << backup;
    };
    row("zero is never", "0", "0", 1000000000, 1000000000);
    row("between items", "5", "5000", 1000000000, 1000000000);
    row("above the items", "2000", "2000000", 1000000000, 1000000000);
    row("negative", "-10", "-1000", 1000000000, 1000000000);
    row("each other's items", "10000", "100", 1000000000, 1000000000);
    row("smallest items", "1", "1000", 1, 1000);
    row("second items", "10", "10000", 10, 10000);
    row("third items", "100", "100000", 100, 100000);
    row("largest items", "1000", "1000000", 1000, 1000000);
    row("never stays", "1000000000", "1000000000", 1000000000, 1000000000);
    row("hexadecimal", "0x3E8", "0x3E8", 1000, 1000);
    row("words give the defaults", "vzdy", "nikdy", 1000, 1000000000);
}

// Read values come back normalised, and the next write stores the normalised values.
void ConfigurationTest::intervals() {
    QFETCH(QByteArray, stored_progress);
    QFETCH(QByteArray, stored_backup);
    QFETCH(int32_t, progress);
    QFETCH(int32_t, backup);
    QTemporaryDir dir;
    const QString path = dir.filePath("cifrovar.ini");
    write_bytes(path, "[nastaveni]\r\nukaz_stav=" + stored_progress +
                          "\r\nzalohy=" + stored_backup + "\r\n");

    const Configuration c = read_configuration(path.toStdString());
    QCOMPARE(c.ukaz_stav, progress);
    QCOMPARE(c.zalohy, backup);
    QVERIFY(write_configuration(path.toStdString(), c));
    QCOMPARE(stored(path, "nastaveni", "ukaz_stav"), std::to_string(progress));
    QCOMPARE(stored(path, "nastaveni", "zalohy"), std::to_string(backup));
}

void ConfigurationTest::update_keeps_the_rest_of_the_file() {
    QTemporaryDir dir;
    const QString path = dir.filePath("cifrovar.ini");
    write_bytes(path,
                "; upraveno rucne\r\n[Nastaveni]\r\nUKLADAT_KONF = 0\r\njine=ponechat\r\n\r\n"
                "[cizi]\r\nzalohy=5\r\n");
    const Configuration c;
    QVERIFY(write_configuration(path.toStdString(), c));

    const QByteArray text = bytes_of(path);
    QVERIFY(
        text.startsWith("; upraveno rucne\r\n[Nastaveni]\r\nUKLADAT_KONF = 1\r\njine=ponechat\r\n"
                        "vysledek_auto=1\r\n"));
    QVERIFY(text.contains("\r\n[cizi]\r\nzalohy=5\r\n"));
    QCOMPARE(text.count("ukladat_konf") + text.count("UKLADAT_KONF"), 1);
    QCOMPARE(stored(path, "nastaveni", "zalohy"), "1000000000");
    QCOMPARE(stored(path, "cizi", "zalohy"), "5");
    QCOMPARE(stored(path, "nastaveni", "jine"), "ponechat");
}

void ConfigurationTest::stored_values_kept_data() {
    QTest::addColumn<Configuration>("config");
    QTest::addColumn<QByteArray>("key");  // "section/key"
    QTest::addColumn<QByteArray>("value");

    const QByteArray old_viewer = "5|6|700|500";
    Configuration maximised = everything_changed();
    maximised.vypis_max = true;
    QTest::newRow("maximised: viewer geometry kept")
        << maximised << QByteArray("viewer") << old_viewer;
    QTest::newRow("maximised: vypis_max stored")
        << maximised << QByteArray("poloha/vypis_max") << QByteArray("1");
    QTest::newRow("normal: viewer geometry stored")
        << everything_changed() << QByteArray("viewer") << QByteArray("1930|-15|800|600");

    Configuration centred = everything_changed();
    centred.left.reset();
    centred.top.reset();
    centred.vypis_left.reset();
    QTest::newRow("absent left kept") << centred << QByteArray("poloha/left") << QByteArray("77");
    QTest::newRow("absent top kept") << centred << QByteArray("poloha/top") << QByteArray("88");
    QTest::newRow("absent viewer left kept")
        << centred << QByteArray("viewer") << QByteArray("5|-15|800|600");

    Configuration no_folder = everything_changed();
    no_folder.adresar.reset();
    QTest::newRow("absent folder kept")
        << no_folder << QByteArray("nastaveni/adresar") << QByteArray("/stary/");
    Configuration broken_folder = everything_changed();
    broken_folder.adresar = "/a\r\n[nastaveni]\r\nukladat_konf=1";
    QTest::newRow("folder with a line break kept")
        << broken_folder << QByteArray("nastaveni/adresar") << QByteArray("/stary/");
    QTest::newRow("folder with a line break: other keys stored")
        << broken_folder << QByteArray("nastaveni/ukladat_konf") << QByteArray("0");
}

// A file holding earlier values, written over with config: the keys config does not write keep
// what the file had.
void ConfigurationTest::stored_values_kept() {
    QFETCH(Configuration, config);
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, value);
    QTemporaryDir dir;
    const QString path = dir.filePath("cifrovar.ini");
    write_bytes(path,
                "[nastaveni]\r\nadresar=/stary/\r\n[poloha]\r\nleft=77\r\ntop=88\r\nvypis_max=0\r\n"
                "vypis_left=5\r\nvypis_top=6\r\nvypis_width=700\r\nvypis_height=500\r\n");
    QVERIFY(write_configuration(path.toStdString(), config));

    if (key == "viewer") {
        std::string got;
        for (const char* k : {"vypis_left", "vypis_top", "vypis_width", "vypis_height"}) {
            if (!got.empty()) got += '|';
            got += stored(path, "poloha", k);
        }
        QCOMPARE(QByteArray::fromStdString(got), value);
    } else {
        const QList<QByteArray> parts = key.split('/');
        QCOMPARE(QByteArray::fromStdString(stored(path, parts[0], parts[1])), value);
    }
    QCOMPARE(IniFile::load(path.toStdString()).text().find("\r\n[nastaveni]", 1),
             std::string::npos);
}

void ConfigurationTest::write_into_a_missing_folder_fails() {
    QTemporaryDir dir;
    QVERIFY(
        !write_configuration(dir.filePath("Cifrovar/cifrovar.ini").toStdString(), Configuration{}));
    QVERIFY(!QFileInfo::exists(dir.filePath("Cifrovar")));
}

void ConfigurationTest::paths() {
    QCOMPARE(configuration_path(true, "/opt/cifrovar/", "/home/u/.local/share/"),
             "/home/u/.local/share/Cifrovar/cifrovar.ini");
    QCOMPARE(configuration_path(false, "/opt/cifrovar/", "/home/u/.local/share/"),
             "/opt/cifrovar/cifrovar.ini");
    QCOMPARE(per_user_configuration_path("/home/u/.local/share/"),
             "/home/u/.local/share/Cifrovar/cifrovar.ini");
}

void ConfigurationTest::viewer_path_data() {
    QTest::addColumn<bool>("per_user_file");
    QTest::addColumn<bool>("program_file");
    QTest::addColumn<bool>("reads_per_user");
    QTest::newRow("both") << true << true << true;
    QTest::newRow("only per-user") << true << false << true;
    QTest::newRow("only program folder") << false << true << false;
    QTest::newRow("neither") << false << false << false;
}

void ConfigurationTest::viewer_path() {
    QFETCH(bool, per_user_file);
    QFETCH(bool, program_file);
    QFETCH(bool, reads_per_user);
    Folders f;
    const std::string per_user = per_user_configuration_path(f.app_data());
    const std::string program = configuration_path(false, f.program(), f.app_data());
    if (per_user_file) {
        QVERIFY(QDir().mkpath(QString::fromStdString(f.app_data() + "Cifrovar")));
        write_bytes(QString::fromStdString(per_user), "[poloha]\r\n");
    }
    if (program_file) write_bytes(QString::fromStdString(program), "[poloha]\r\n");
    QCOMPARE(viewer_configuration_path(f.program(), f.app_data()),
             reads_per_user ? per_user : program);
}

void ConfigurationTest::delete_configuration_data() {
    QTest::addColumn<bool>("multi_user");
    QTest::addColumn<QString>("setup");  // what exists: file, stray file in its folder, ...
    QTest::addColumn<QString>("failure");

    const QString folder_failure = "Adresář %1Cifrovar se smazat nepodařilo";
    const QString file_failure = "Konfiguraci se nepodařilo odstranit";
    QTest::newRow("multi-user: file and folder") << true << "file"
                                                 << "";
    QTest::newRow("multi-user: empty folder") << true << "folder"
                                              << "";
    QTest::newRow("multi-user: nothing there") << true << ""
                                               << "";
    QTest::newRow("multi-user: folder not empty") << true << "file,stray" << folder_failure;
    QTest::newRow("multi-user: only a stray file") << true << "stray" << folder_failure;
    QTest::newRow("multi-user: file is a full folder") << true << "stuck" << file_failure;
    QTest::newRow("multi-user: program file untouched") << true << "program"
                                                        << "";
    QTest::newRow("single-user: file") << false << "program"
                                       << "";
    QTest::newRow("single-user: nothing there") << false << ""
                                                << "";
    QTest::newRow("single-user: per-user file untouched") << false << "program,file"
                                                          << "";
    QTest::newRow("single-user: file is a full folder") << false << "program-stuck" << file_failure;
}

void ConfigurationTest::delete_configuration() {
    QFETCH(bool, multi_user);
    QFETCH(QString, setup);
    QFETCH(QString, failure);
    Folders f;
    const QString program_file = QString::fromStdString(f.program()) + "cifrovar.ini";
    const QString folder = QString::fromStdString(f.app_data()) + "Cifrovar";
    const QString user_file = folder + "/cifrovar.ini";
    const QStringList parts = setup.split(',', Qt::SkipEmptyParts);
    if (!parts.isEmpty() && setup != "program") QVERIFY(QDir().mkpath(folder));
    if (parts.contains("file")) write_bytes(user_file, "[poloha]\r\n");
    if (parts.contains("stray")) write_bytes(folder + "/jine.txt", "x");
    if (parts.contains("stuck")) QVERIFY(QDir().mkpath(user_file + "/obsah"));
    if (parts.contains("program")) write_bytes(program_file, "[poloha]\r\n");
    if (parts.contains("program-stuck")) QVERIFY(QDir().mkpath(program_file + "/obsah"));

    const auto result = cifrovar::delete_configuration(multi_user, f.program(), f.app_data());
    const QString expected = failure.contains("%1") ? failure.arg(f.app_data().c_str()) : failure;
    QCOMPARE(result ? QString::fromStdString(*result) : QString(), expected);

    const QString own_file = multi_user ? user_file : program_file;
    if (result != std::optional<std::string>("Konfiguraci se nepodařilo odstranit"))
        QVERIFY(!QFileInfo::exists(own_file));
    if (multi_user && !result) QVERIFY(!QFileInfo::exists(folder));
    // The other mode's file is never touched.
    if (multi_user && parts.contains("program")) QVERIFY(QFileInfo::exists(program_file));
    if (!multi_user && parts.contains("file")) QVERIFY(QFileInfo::exists(user_file));
    if (parts.contains("stray")) QVERIFY(QFileInfo::exists(folder + "/jine.txt"));
}

}  // namespace cifrovar

QTEST_APPLESS_MAIN(cifrovar::ConfigurationTest)
#include "configuration_test.moc"
