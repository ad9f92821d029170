#include "shell/file_association.h"

#include <QByteArray>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

namespace cifrovar {
namespace {

const QString data_rel = "data";
const QString config_rel = "config";

QByteArray read_all(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool write_all(const QString& path, const QByteArray& bytes) {
    if (!QDir().mkpath(QFileInfo(path).path())) return false;
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Every file below `folder` with its contents, by path relative to it.
QMap<QString, QByteArray> tree(const QString& folder) {
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files[QDir(folder).relativeFilePath(path)] = read_all(path);
    }
    return files;
}

QMap<QString, QString> desktop_keys(const QByteArray& entry) {
    QMap<QString, QString> keys;
    for (const QByteArray& line : entry.split('\n')) {
        const qsizetype eq = line.indexOf('=');
        if (eq > 0) keys[QString::fromUtf8(line.left(eq))] = QString::fromUtf8(line.mid(eq + 1));
    }
    return keys;
}

// The type's line of mimeapps.list and the group it is in; "" when missing.
QPair<QByteArray, QByteArray> type_line(const QByteArray& mimeapps) {
    QByteArray group;
    for (const QByteArray& line : mimeapps.split('\n')) {
        if (line.trimmed().startsWith('[')) group = line.trimmed();
        if (line.startsWith("application/x-cifrovar-calculation=")) return {line.trimmed(), group};
    }
    return {};
}

// The file without our type's line, and without the defaults group header unless `original`
// had one.
QByteArray without_type_line(const QByteArray& mimeapps, const QByteArray& original) {
    const bool had_group = original.contains("[Default Applications]");
    QByteArrayList kept;
    for (const QByteArray& line : mimeapps.split('\n')) {
        if (line.startsWith("application/x-cifrovar-calculation=")) continue;
        if (!had_group && line.trimmed() == "[Default Applications]") continue;
        kept.append(line);
    }
    return kept.join('\n');
}

}  // namespace

class FileAssociationTest : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void cleanup();
    void places_follow_the_environment_data();
    void places_follow_the_environment();
    void register_writes_exactly_the_association();
    void exec_quotes_the_path_data();
    void exec_quotes_the_path();
    void relative_executable_is_made_absolute();
    void unsafe_executable_writes_nothing_data();
    void unsafe_executable_writes_nothing();
    void mimeapps_keeps_other_lines_data();
    void mimeapps_keeps_other_lines();
    void unregister_leaves_unrelated_files();
    void unregister_without_registration_succeeds();
    void unwritable_places_fail_data();
    void unwritable_places_fail();
    void refresh_tools_data();
    void refresh_tools();

  private:
    AssociationPlaces places() const {
        return {(root_->path() + '/' + data_rel).toStdString(),
                (root_->path() + '/' + config_rel + '/').toStdString()};
    }
    QString data(const QString& rel) const { return root_->path() + '/' + data_rel + '/' + rel; }
    QString config(const QString& rel) const {
        return root_->path() + '/' + config_rel + '/' + rel;
    }
    // Tools named update-*-database in a folder that is the whole PATH: "absent" installs
    // none, "working" ones that log their call, "failing" ones that log and exit with 1.
    void install_tools(const QString& kind);
    QByteArray tool_log() const { return read_all(tools_->path() + "/log"); }

    std::unique_ptr<QTemporaryDir> root_;
    std::unique_ptr<QTemporaryDir> tools_;
    QByteArray saved_path_;
};

void FileAssociationTest::init() {
    root_ = std::make_unique<QTemporaryDir>();
    tools_ = std::make_unique<QTemporaryDir>();
    QVERIFY(root_->isValid() && tools_->isValid());
    saved_path_ = qgetenv("PATH");
    install_tools("working");
}

void FileAssociationTest::cleanup() {
    qputenv("PATH", saved_path_);
    root_.reset();
    tools_.reset();
}

void FileAssociationTest::install_tools(const QString& kind) {
    const QString bin = tools_->path() + "/bin-" + kind;
    QVERIFY(QDir().mkpath(bin));
    qputenv("PATH", bin.toUtf8());
    if (kind == "absent") return;
    const QByteArray exit_code = kind == "failing" ? "1" : "0";
    for (const char* name : {"update-mime-database", "update-desktop-database"}) {
        const QString path = bin + '/' + name;
        const QByteArray script = "#!/bin/sh\necho \"" + QByteArray(name) + " $*\" >> '" +
                                  tools_->path().toUtf8() + "/log'\nexit " + exit_code + "\n";
        QVERIFY(write_all(path, script));
        QVERIFY(
            QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }
}

void FileAssociationTest::places_follow_the_environment_data() {
    QTest::addColumn<QByteArray>("xdg_data");    // "-" leaves it unset
    QTest::addColumn<QByteArray>("xdg_config");  // "@" stands for the root
    QTest::addColumn<QString>("data_home");
    QTest::addColumn<QString>("config_home");
    QTest::newRow("unset") << QByteArray("-") << QByteArray("-") << "home/.local/share/"
                           << "home/.config/";
    QTest::newRow("absolute") << QByteArray("@/d") << QByteArray("@/c/") << "d/"
                              << "c/";
    QTest::newRow("relative ignored") << QByteArray("d") << QByteArray("c") << "home/.local/share/"
                                      << "home/.config/";
}

void FileAssociationTest::places_follow_the_environment() {
    QFETCH(QByteArray, xdg_data);
    QFETCH(QByteArray, xdg_config);
    QFETCH(QString, data_home);
    QFETCH(QString, config_home);
    const QByteArray root = root_->path().toUtf8();
    const QByteArray names[] = {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME"};
    QByteArray values[] = {root + "/home", xdg_data.replace('@', root),
                           xdg_config.replace('@', root)};
    QMap<QByteArray, std::optional<QByteArray>> saved;
    for (int i = 0; i < 3; ++i) {
        saved[names[i]] = qEnvironmentVariableIsSet(names[i].constData())
                              ? std::optional<QByteArray>(qgetenv(names[i].constData()))
                              : std::nullopt;
        if (values[i] == "-") {
            qunsetenv(names[i].constData());
        } else {
            qputenv(names[i].constData(), values[i]);
        }
    }
    const AssociationPlaces got = association_places();
    for (auto it = saved.begin(); it != saved.end(); ++it) {
        if (it.value()) {
            qputenv(it.key().constData(), *it.value());
        } else {
            qunsetenv(it.key().constData());
        }
    }
    QCOMPARE(QString::fromStdString(got.data_home), root_->path() + '/' + data_home);
    QCOMPARE(QString::fromStdString(got.config_home), root_->path() + '/' + config_home);
}

void FileAssociationTest::register_writes_exactly_the_association() {
    QVERIFY(register_association("/opt/cifrovar/bin/cifrovar", places()));
    const QMap<QString, QByteArray> files = tree(root_->path());
    const QStringList expected = {
        config_rel + "/mimeapps.list", data_rel + "/applications/cifrovar.desktop",
        data_rel + "/icons/hicolor/scalable/mimetypes/application-x-cifrovar-calculation.svg",
        data_rel + "/mime/packages/cifrovar.xml"};
    QCOMPARE(files.keys(), expected);

    const QMap<QString, QString> entry = desktop_keys(files[expected[1]]);
    QCOMPARE(entry["Exec"], QString("\"/opt/cifrovar/bin/cifrovar\" %f"));
    QCOMPARE(entry["Name"], QString("Cifrovar"));
    QCOMPARE(entry["Type"], QString("Application"));
    QCOMPARE(entry["MimeType"],
             QString("application/x-cifrovar-calculation;application/x-exponik-calculation;"));
    QCOMPARE(entry["Categories"], QString("Utility;Calculator;"));
    QCOMPARE(entry["Icon"], QString("application-x-cifrovar-calculation"));

    const QString icon_source = QFINDTESTDATA("../../resources/icons/cfr_document.svg");
    QVERIFY(!icon_source.isEmpty());
    QCOMPARE(files[expected[2]], read_all(icon_source));

    // Each type of the package by its name: its glob, icon and comment.
    QXmlStreamReader xml(files[expected[3]]);
    QMap<QString, QMap<QString, QString>> types;
    QString type;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) continue;
        const QString name = xml.name().toString();
        if (name == "mime-type") type = xml.attributes().value("type").toString();
        if (name == "glob") types[type]["glob"] = xml.attributes().value("pattern").toString();
        if (name == "icon") types[type]["icon"] = xml.attributes().value("name").toString();
        if (name == "comment") types[type]["comment"] = xml.readElementText();
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    QCOMPARE(types.keys(), QStringList({"application/x-cifrovar-calculation",
                                        "application/x-exponik-calculation"}));
    const QString icon = "application-x-cifrovar-calculation";
    const QMap<QString, QString> cfr = types["application/x-cifrovar-calculation"];
    QCOMPARE(cfr,
             (QMap<QString, QString>{
                 {"glob", "*.cfr"}, {"icon", icon}, {"comment", "Výpočet programu Cifrovar"}}));
    const QMap<QString, QString> exk = types["application/x-exponik-calculation"];
    QCOMPARE(exk, (QMap<QString, QString>{
                      {"glob", "*.exk"}, {"icon", icon}, {"comment", "Výpočet programu Exponik"}}));

    const auto line = type_line(files[expected[0]]);
    QCOMPARE(line.first, QByteArray("application/x-cifrovar-calculation=cifrovar.desktop"));
    QCOMPARE(line.second, QByteArray("[Default Applications]"));
}

void FileAssociationTest::exec_quotes_the_path_data() {
    QTest::addColumn<QString>("executable");
    QTest::addColumn<QString>("exec");
    QTest::newRow("space") << "/opt/My Apps/cifrovar"
                           << R"("/opt/My Apps/cifrovar" %f)";
    QTest::newRow("double quote") << R"(/opt/a"b/cifrovar)"
                                  << R"("/opt/a\\"b/cifrovar" %f)";
    QTest::newRow("dollar") << "/opt/$HOME/cifrovar"
                            << R"("/opt/\\$HOME/cifrovar" %f)";
    QTest::newRow("backquote") << "/opt/a`b/cifrovar"
                               << R"("/opt/a\\`b/cifrovar" %f)";
    QTest::newRow("backslash") << R"(/opt/a\b/cifrovar)"
                               << R"("/opt/a\\\\b/cifrovar" %f)";
    QTest::newRow("percent") << "/opt/100%/cifrovar"
                             << R"("/opt/100%%/cifrovar" %f)";
    QTest::newRow("Czech letters") << "/opt/výpočty/cifrovar"
                                   << R"("/opt/výpočty/cifrovar" %f)";
}

void FileAssociationTest::exec_quotes_the_path() {
    QFETCH(QString, executable);
    QFETCH(QString, exec);
    QVERIFY(register_association(executable.toStdString(), places()));
    QCOMPARE(desktop_keys(read_all(data("applications/cifrovar.desktop")))["Exec"], exec);
}

void FileAssociationTest::relative_executable_is_made_absolute() {
    const QString before = QDir::currentPath();
    QVERIFY(QDir::setCurrent(root_->path()));
    const bool registered = register_association("bin/cifrovar", places());
    QDir::setCurrent(before);
    QVERIFY(registered);
    QCOMPARE(desktop_keys(read_all(data("applications/cifrovar.desktop")))["Exec"],
             '"' + QDir(root_->path()).canonicalPath() + "/bin/cifrovar\" %f");
}

void FileAssociationTest::unsafe_executable_writes_nothing_data() {
    QTest::addColumn<QString>("executable");
    QTest::newRow("empty") << QString();
    QTest::newRow("newline") << "/opt/a\nExec=/bin/evil/cifrovar";
    QTest::newRow("carriage return") << "/opt/a\rb/cifrovar";
    QTest::newRow("tab") << "/opt/a\tb/cifrovar";
}

// A line break in the path would add keys of the caller's choosing to the desktop entry.
void FileAssociationTest::unsafe_executable_writes_nothing() {
    QFETCH(QString, executable);
    QVERIFY(!register_association(executable.toStdString(), places()));
    QVERIFY(tree(root_->path()).isEmpty());
}

void FileAssociationTest::mimeapps_keeps_other_lines_data() {
    QTest::addColumn<QByteArray>("original");
    QTest::addColumn<QByteArray>("line");  // our type's line after registering
    const QByteArray ours = "application/x-cifrovar-calculation=cifrovar.desktop";
    QTest::newRow("defaults group before another")
        << QByteArray(
               "[Default Applications]\ntext/plain=gedit.desktop\n\n"
               "[Added Associations]\nimage/png=eog.desktop;\n")
        << ours;
    QTest::newRow("no defaults group")
        << QByteArray("[Added Associations]\nimage/png=eog.desktop;\n") << ours;
    QTest::newRow("defaults group last")
        << QByteArray(
               "# mine\n[Added Associations]\nimage/png=eog.desktop;\n\n"
               "[Default Applications]\ntext/plain=gedit.desktop\n")
        << ours;
    QTest::newRow("another handler of our type")
        << QByteArray("[Default Applications]\napplication/x-cifrovar-calculation=other.desktop\n")
        << QByteArray("application/x-cifrovar-calculation=cifrovar.desktop;other.desktop;");
    QTest::newRow("CR LF lines") << QByteArray(
                                        "[Default Applications]\r\ntext/plain=gedit.desktop\r\n")
                                 << ours;
    QTest::newRow("no final newline")
        << QByteArray("[Default Applications]\ntext/plain=gedit.desktop") << ours;
}

// Registering adds our line inside the defaults group and changes nothing else; unregistering
// gives back the original file byte for byte.
void FileAssociationTest::mimeapps_keeps_other_lines() {
    QFETCH(QByteArray, original);
    QFETCH(QByteArray, line);
    QVERIFY(write_all(config("mimeapps.list"), original));
    QVERIFY(register_association("/usr/bin/cifrovar", places()));
    const QByteArray registered = read_all(config("mimeapps.list"));
    const auto found = type_line(registered);
    QCOMPARE(found.first, line);
    QCOMPARE(found.second, QByteArray("[Default Applications]"));
    if (!original.contains("application/x-cifrovar-calculation")) {
        QCOMPARE(without_type_line(registered, original).trimmed(), original.trimmed());
    }
    QVERIFY(unregister_association(places()));
    QCOMPARE(read_all(config("mimeapps.list")), original);
}

void FileAssociationTest::unregister_leaves_unrelated_files() {
    const QMap<QString, QByteArray> unrelated = {
        {data_rel + "/applications/other.desktop", "[Desktop Entry]\nName=Other\n"},
        {data_rel + "/mime/packages/other.xml", "<mime-info/>\n"},
        {data_rel + "/icons/hicolor/scalable/mimetypes/other.svg", "<svg/>\n"},
        {config_rel + "/other.conf", "x=1\n"}};
    for (auto it = unrelated.begin(); it != unrelated.end(); ++it)
        QVERIFY(write_all(root_->path() + '/' + it.key(), it.value()));
    QVERIFY(register_association("/usr/bin/cifrovar", places()));
    QCOMPARE(tree(root_->path()).size(), unrelated.size() + 4);
    QVERIFY(unregister_association(places()));
    QCOMPARE(tree(root_->path()), unrelated);
}

void FileAssociationTest::unregister_without_registration_succeeds() {
    QVERIFY(unregister_association(places()));
    QVERIFY(tree(root_->path()).isEmpty());
    QVERIFY(!QFileInfo::exists(data("")));
    // Twice in a row after a registration, too.
    QVERIFY(register_association("/usr/bin/cifrovar", places()));
    QVERIFY(unregister_association(places()));
    QVERIFY(unregister_association(places()));
    QVERIFY(tree(root_->path()).isEmpty());
}

void FileAssociationTest::unwritable_places_fail_data() {
    QTest::addColumn<QString>("blocker");  // a regular file where a folder is needed
    QTest::addColumn<bool>("default_set");
    QTest::newRow("data home below a file") << data_rel << false;
    QTest::newRow("applications is a file") << data_rel + "/applications" << false;
    QTest::newRow("config home below a file") << config_rel << true;
}

// The default is written last, so a data home that cannot be written leaves mimeapps.list alone.
void FileAssociationTest::unwritable_places_fail() {
    QFETCH(QString, blocker);
    QFETCH(bool, default_set);
    QVERIFY(write_all(root_->path() + '/' + blocker, "not a folder"));
    QVERIFY(!register_association("/usr/bin/cifrovar", places()));
    QCOMPARE(read_all(root_->path() + '/' + blocker), QByteArray("not a folder"));
    if (!default_set) QVERIFY(!QFileInfo::exists(config("mimeapps.list")));
}

void FileAssociationTest::refresh_tools_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("working") << "working";
    QTest::newRow("failing") << "failing";
    QTest::newRow("absent") << "absent";
}

void FileAssociationTest::refresh_tools() {
    QFETCH(QString, kind);
    install_tools(kind);
    QVERIFY(register_association("/usr/bin/cifrovar", places()));
    QVERIFY(unregister_association(places()));
    const QByteArray mime = "update-mime-database " + data("mime").toUtf8() + '\n';
    const QByteArray apps = "update-desktop-database " + data("applications").toUtf8() + '\n';
    const QByteArray expected = kind == "absent" ? QByteArray() : mime + apps + mime + apps;
    QCOMPARE(tool_log(), expected);
}

}  // namespace cifrovar

QTEST_GUILESS_MAIN(cifrovar::FileAssociationTest)
#include "file_association_test.moc"
