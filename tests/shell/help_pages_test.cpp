#include "shell/help_pages.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include "shell/process_priority.h"

namespace cifrovar {

// Stands in for the desktop's handler of file URLs: keeps what it was given and the priority
// class of the thread that started it, which a started browser inherits.
class UrlRecorder : public QObject {
    Q_OBJECT

  public:
    QList<QUrl> urls;
    QList<std::optional<int>> classes;

  public slots:
    void open(const QUrl& url) {
        urls.append(url);
        classes.append(own_priority_class());
    }
};

namespace {

QByteArray read_all(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool touch(const QString& path) {
    if (!QDir().mkpath(QFileInfo(path).path())) return false;
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write("<html></html>\n") > 0;
}

QString source_help() {
    return QFileInfo(QFINDTESTDATA("../../resources/help/index.htm")).absolutePath();
}

QStringList pages_in(const QString& folder) {
    return QDir(folder).entryList({"*.htm"}, QDir::Files, QDir::Name);
}

// The local targets of href and src attributes, without their fragments.
struct Link {
    QString file;
    QString fragment;
};

QList<Link> links_of(const QString& html) {
    static const QRegularExpression attribute("(?:href|src)\\s*=\\s*\"([^\"]*)\"");
    QList<Link> links;
    for (const auto& match : attribute.globalMatch(html)) {
        const QString target = match.captured(1);
        if (target.contains(':')) continue;  // http:, mailto: and the like
        const qsizetype hash = target.indexOf('#');
        links.append({hash < 0 ? target : target.left(hash), hash < 0 ? "" : target.mid(hash + 1)});
    }
    return links;
}

}  // namespace

class HelpPagesTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void cleanupTestCase();
    void help_folder_finds_the_layout_data();
    void help_folder_finds_the_layout();
    void open_help_page_hands_over_data();
    void open_help_page_hands_over();
    void open_help_runs_the_handler_at_the_programs_own_priority();
    void pages_are_czech_utf8_html_data();
    void pages_are_czech_utf8_html();
    void links_resolve();
    void every_page_is_reachable_from_the_contents();
    void build_tree_holds_a_copy_of_the_pages();

  private:
    UrlRecorder recorder_;
};

void HelpPagesTest::initTestCase() {
    QDesktopServices::setUrlHandler("file", &recorder_, "open");
    QVERIFY(!source_help().isEmpty());
}

void HelpPagesTest::cleanupTestCase() { QDesktopServices::unsetUrlHandler("file"); }

void HelpPagesTest::help_folder_finds_the_layout_data() {
    QTest::addColumn<QStringList>("files");  // below the prefix
    QTest::addColumn<QString>("program");    // the program folder, below the prefix
    QTest::addColumn<QString>("expected");   // below the prefix; "-" for nothing
    QTest::newRow("build tree") << QStringList{"build/help/index.htm"} << "build/"
                                << "build/help/";
    QTest::newRow("installed tree") << QStringList{"share/cifrovar/help/index.htm"} << "bin/"
                                    << "share/cifrovar/help/";
    QTest::newRow("without trailing slash") << QStringList{"share/cifrovar/help/index.htm"} << "bin"
                                            << "share/cifrovar/help/";
    QTest::newRow("both, the build tree wins")
        << QStringList{"bin/help/index.htm", "share/cifrovar/help/index.htm"} << "bin/"
        << "bin/help/";
    QTest::newRow("help without contents, installed one used")
        << QStringList{"bin/help/mocniny.htm", "share/cifrovar/help/index.htm"} << "bin/"
        << "share/cifrovar/help/";
    QTest::newRow("no contents anywhere")
        << QStringList{"bin/help/mocniny.htm", "share/cifrovar/help/beta.htm"} << "bin/"
        << "-";
    QTest::newRow("nothing") << QStringList{} << "bin/"
                             << "-";
}

void HelpPagesTest::help_folder_finds_the_layout() {
    QFETCH(QStringList, files);
    QFETCH(QString, program);
    QFETCH(QString, expected);
    QTemporaryDir prefix;
    QVERIFY(prefix.isValid());
    const QString base = QDir(prefix.path()).canonicalPath() + '/';
    QVERIFY(QDir().mkpath(base + program));
    for (const QString& file : files) QVERIFY(touch(base + file));
    const std::optional<std::string> found = help_folder((base + program).toStdString());
    if (expected == "-") {
        QVERIFY(!found);
    } else {
        QVERIFY(found);
        QCOMPARE(QString::fromStdString(*found), base + expected);
    }
}

void HelpPagesTest::open_help_page_hands_over_data() {
    QTest::addColumn<QString>("page");
    QTest::addColumn<bool>("opened");
    QTest::newRow("contents") << "index.htm" << true;
    QTest::newRow("page in a subfolder") << "obr/detail.htm" << true;
    QTest::newRow("missing page") << "chybi.htm" << false;
    QTest::newRow("climbing out") << "../mimo.htm" << false;
    QTest::newRow("climbing out through a subfolder") << "obr/../../mimo.htm" << false;
    QTest::newRow("absolute path") << "/etc/hostname" << false;
    QTest::newRow("a folder") << "obr" << false;
    QTest::newRow("empty") << "" << false;
}

void HelpPagesTest::open_help_page_hands_over() {
    QFETCH(QString, page);
    QFETCH(bool, opened);
    QTemporaryDir root;
    QVERIFY(root.isValid());
    const QString folder = root.path() + "/help/";
    for (const char* file : {"help/index.htm", "help/obr/detail.htm", "mimo.htm"})
        QVERIFY(touch(root.path() + '/' + file));
    recorder_.urls.clear();
    QCOMPARE(open_help_page(folder.toStdString(), page.toStdString()), opened);
    if (opened) {
        QCOMPARE(recorder_.urls, QList<QUrl>{QUrl::fromLocalFile(folder + page)});
    } else {
        QVERIFY(recorder_.urls.isEmpty());
    }
}

// A browser started for help must not inherit the low class chosen for computing.
void HelpPagesTest::open_help_runs_the_handler_at_the_programs_own_priority() {
    const std::optional<int> own = own_priority_class();
    QVERIFY(own);
    if (*own == 64) QSKIP("the program runs at idle priority itself");
    QVERIFY(set_priority_class(64));
    QTemporaryDir root;
    QVERIFY(touch(root.path() + "/index.htm"));
    recorder_.urls.clear();
    recorder_.classes.clear();
    const bool opened = open_help_page(root.path().toStdString(), "index.htm");
    const std::optional<int> computing = current_priority_class();
    set_priority_class(*own);
    QVERIFY(opened);
    QCOMPARE(recorder_.classes, QList<std::optional<int>>{own});
    QCOMPARE(computing, std::optional<int>(64));
}

void HelpPagesTest::pages_are_czech_utf8_html_data() {
    QTest::addColumn<QString>("page");
    for (const QString& page : pages_in(source_help()))
        QTest::newRow(qPrintable(page)) << source_help() + '/' + page;
}

void HelpPagesTest::pages_are_czech_utf8_html() {
    QFETCH(QString, page);
    const QByteArray bytes = read_all(page);
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(bytes);
    QVERIFY2(!utf8.hasError(), "not UTF-8");
    QVERIFY(text.startsWith("<!DOCTYPE html>"));
    QVERIFY(text.contains(R"(<html lang="cs">)"));
    QVERIFY(text.contains(R"(<meta charset="utf-8">)", Qt::CaseInsensitive));
    QVERIFY(QRegularExpression("<title>[^<]+</title>").match(text).hasMatch());
    QVERIFY(text.trimmed().endsWith("</html>"));
}

void HelpPagesTest::links_resolve() {
    const QString folder = source_help();
    for (const QString& page : pages_in(folder)) {
        const QString html = QString::fromUtf8(read_all(folder + '/' + page));
        for (const Link& link : links_of(html)) {
            const QString target = link.file.isEmpty() ? page : link.file;
            const QString path = folder + '/' + target;
            QVERIFY2(QFileInfo(path).isFile(), qPrintable(page + " -> " + target));
            if (link.fragment.isEmpty()) continue;
            const QString id = QString("id=\"%1\"").arg(link.fragment);
            QVERIFY2(QString::fromUtf8(read_all(path)).contains(id),
                     qPrintable(page + " -> " + target + '#' + link.fragment));
        }
    }
}

void HelpPagesTest::every_page_is_reachable_from_the_contents() {
    const QString folder = source_help();
    QSet<QString> reached{"index.htm"};
    QStringList queue{"index.htm"};
    while (!queue.isEmpty()) {
        const QString page = queue.takeFirst();
        for (const Link& link : links_of(QString::fromUtf8(read_all(folder + '/' + page)))) {
            if (!link.file.endsWith(".htm") || reached.contains(link.file)) continue;
            reached.insert(link.file);
            queue.append(link.file);
        }
    }
    const QStringList pages = pages_in(folder);
    QCOMPARE(QSet<QString>(pages.begin(), pages.end()), reached);
}

// The built program finds its help beside itself; the test programs live one folder below it.
void HelpPagesTest::build_tree_holds_a_copy_of_the_pages() {
    const std::optional<std::string> copy =
        help_folder((QCoreApplication::applicationDirPath() + "/../").toStdString());
    QVERIFY(copy);
    const QString built = QString::fromStdString(*copy);
    const QStringList sources = QDir(source_help()).entryList(QDir::Files, QDir::Name);
    for (const QString& name : sources)
        QVERIFY2(read_all(built + name) == read_all(source_help() + '/' + name), qPrintable(name));
}

}  // namespace cifrovar

QTEST_MAIN(cifrovar::HelpPagesTest)
#include "help_pages_test.moc"
