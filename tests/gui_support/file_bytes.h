#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QtTest>

namespace cifrovar::testing {

// The whole content of a file; empty when it cannot be read.
inline QByteArray bytes_of(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
}

inline void write_bytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

}  // namespace cifrovar::testing
