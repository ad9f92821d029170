#include "shell/platform_folders.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <map>
#include <optional>

namespace cifrovar {
namespace {

// Sets environment variables for one test and puts the old values back afterwards.
class ScopedEnv {
  public:
    ~ScopedEnv() {
        for (const auto& [name, value] : saved_) {
            if (value) {
                qputenv(name.constData(), *value);
            } else {
                qunsetenv(name.constData());
            }
        }
    }
    void set(const QByteArray& name, const std::optional<QByteArray>& value) {
        if (!saved_.count(name)) {
            saved_[name] = qEnvironmentVariableIsSet(name.constData())
                               ? std::optional<QByteArray>(qgetenv(name.constData()))
                               : std::nullopt;
        }
        if (value) {
            qputenv(name.constData(), *value);
        } else {
            qunsetenv(name.constData());
        }
    }

  private:
    std::map<QByteArray, std::optional<QByteArray>> saved_;
};

}  // namespace

class PlatformFoldersTest : public QObject {
    Q_OBJECT

  private slots:
    void program_folder_holds_the_running_executable();
    void app_data_folder_follows_the_environment_data();
    void app_data_folder_follows_the_environment();
    void documents_folder_follows_user_dirs_data();
    void documents_folder_follows_user_dirs();
};

void PlatformFoldersTest::program_folder_holds_the_running_executable() {
    const std::string folder = program_folder();
    QVERIFY(!folder.empty());
    QCOMPARE(folder.back(), '/');
    const QString name = QFileInfo(QCoreApplication::arguments().first()).fileName();
    QVERIFY(QFileInfo(QString::fromStdString(folder) + name).isFile());
}

void PlatformFoldersTest::app_data_folder_follows_the_environment_data() {
    QTest::addColumn<std::optional<QByteArray>>("xdg_config_home");
    QTest::addColumn<QString>("below_root");  // the expected folder, relative to the root
    QTest::newRow("unset") << std::optional<QByteArray>() << "home/.config/";
    QTest::newRow("empty") << std::optional<QByteArray>("") << "home/.config/";
    QTest::newRow("relative") << std::optional<QByteArray>("cfg") << "home/.config/";
    QTest::newRow("absolute") << std::optional<QByteArray>("@/cfg") << "cfg/";
    QTest::newRow("absolute with slash") << std::optional<QByteArray>("@/cfg/") << "cfg/";
}

void PlatformFoldersTest::app_data_folder_follows_the_environment() {
    QFETCH(std::optional<QByteArray>, xdg_config_home);
    QFETCH(QString, below_root);
    QTemporaryDir root;
    QVERIFY(root.isValid());
    const QByteArray root_path = root.path().toUtf8();
    ScopedEnv env;
    env.set("HOME", root_path + "/home");
    if (xdg_config_home) xdg_config_home->replace("@", root_path);
    env.set("XDG_CONFIG_HOME", xdg_config_home);
    QCOMPARE(QString::fromStdString(app_data_folder()), root.path() + '/' + below_root);
}

void PlatformFoldersTest::documents_folder_follows_user_dirs_data() {
    QTest::addColumn<QByteArray>("user_dirs");  // the line of user-dirs.dirs, "" for no file
    QTest::addColumn<bool>("create");           // whether the named folder exists
    QTest::addColumn<QString>("expected");      // relative to HOME; "-" for ""
    QTest::newRow("named, present")
        << QByteArray("XDG_DOCUMENTS_DIR=\"$HOME/Dokumenty\"\n") << true << "Dokumenty/";
    QTest::newRow("named, missing")
        << QByteArray("XDG_DOCUMENTS_DIR=\"$HOME/Dokumenty\"\n") << false << "Dokumenty/";
    QTest::newRow("no file, Documents present") << QByteArray() << true << "Documents/";
    // A new account: the first start makes the folder, so it must be named already.
    QTest::newRow("no file, Documents missing") << QByteArray() << false << "Documents/";
}

void PlatformFoldersTest::documents_folder_follows_user_dirs() {
    QFETCH(QByteArray, user_dirs);
    QFETCH(bool, create);
    QFETCH(QString, expected);
    QTemporaryDir home;
    QVERIFY(home.isValid());
    ScopedEnv env;
    env.set("HOME", home.path().toUtf8());
    env.set("XDG_CONFIG_HOME", home.path().toUtf8() + "/.config");
    QVERIFY(QDir(home.path()).mkpath(".config"));
    if (!user_dirs.isEmpty()) {
        QFile file(home.path() + "/.config/user-dirs.dirs");
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(user_dirs);
    }
    if (create) {
        QVERIFY(QDir(home.path()).mkpath(user_dirs.isEmpty() ? "Documents" : "Dokumenty"));
    }
    const QString want = expected == "-" ? QString() : home.path() + '/' + expected;
    QCOMPARE(QString::fromStdString(documents_folder()), want);
}

}  // namespace cifrovar

QTEST_GUILESS_MAIN(cifrovar::PlatformFoldersTest)
#include "platform_folders_test.moc"
