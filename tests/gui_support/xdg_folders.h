#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <QtGlobal>
#include <string>

namespace cifrovar::testing {

// The association files live under XDG folders of the test's own: $XDG_DATA_HOME is
// <dir>/data and $XDG_CONFIG_HOME is <dir>/xdgconfig, neither created yet.
struct XdgFolders {
    QTemporaryDir dir;
    XdgFolders() {
        qputenv("XDG_DATA_HOME", dir.filePath("data").toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", dir.filePath("xdgconfig").toLocal8Bit());
    }
    ~XdgFolders() {
        qunsetenv("XDG_DATA_HOME");
        qunsetenv("XDG_CONFIG_HOME");
    }
    XdgFolders(const XdgFolders&) = delete;
    XdgFolders& operator=(const XdgFolders&) = delete;
    std::string data(const char* rest) const {
        return dir.filePath(QString("data/") + rest).toStdString();
    }
    std::string config(const char* rest) const {
        return dir.filePath(QString("xdgconfig/") + rest).toStdString();
    }
};

}  // namespace cifrovar::testing
