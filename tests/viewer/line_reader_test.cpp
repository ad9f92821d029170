// Reading a text's lines through a small buffer: every line, its length without a CR before the
// LF and where the next one starts, wherever the buffer's edges fall; and a file that turns out
// shorter than it was said to be.

#include "viewer/line_reader.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <random>
#include <vector>

using cifrovar::LineReader;
using cifrovar::TextLine;

namespace {

// The lines as the view shows them: split at LF, a CR before the LF not counted, no further
// line after a line end at the very end.
std::vector<TextLine> expected_lines(const QByteArray& text) {
    std::vector<TextLine> lines;
    for (qint64 pos = 0; pos < text.size();) {
        const qint64 lf = text.indexOf('\n', pos);
        if (lf < 0) {
            lines.push_back({text.size() - pos, text.size()});
            break;
        }
        const bool cr = lf > pos && text[lf - 1] == '\r';
        lines.push_back({lf - pos - (cr ? 1 : 0), lf + 1});
        pos = lf + 1;
    }
    return lines;
}

QByteArray mixed_text() {
    std::mt19937 random(7);
    QByteArray text;
    const char alphabet[] = "0123456789\r\n\n\r";
    for (int i = 0; i < 3000; ++i) text.append(alphabet[random() % (sizeof alphabet - 1)]);
    return text;
}

}  // namespace

class LineReaderTest : public QObject {
    Q_OBJECT

  private slots:
    void reads_every_line_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<qint64>("chunk");
        const QList<QPair<const char*, QByteArray>> texts = {
            {"one line without an end", "12345678901234567890"},
            {"header and digits", "Výpočet\r\n2 ^ 64\r\n\r\n18446744073709551616"},
            {"CR LF across the edges", "abc\r\ndef\r\nghi\r\n"},
            {"empty lines", "\n\n\r\n\n"},
            {"a lone CR is a character", "ab\rcd\r"},
            {"CR LF at the very start", "\r\nx"},
            {"mixed", mixed_text()},
        };
        for (const qint64 chunk : {1, 2, 3, 4, 5, 64, 1 << 20}) {
            for (const auto& [name, text] : texts) {
                QTest::addRow("%s, chunk %lld", name, static_cast<long long>(chunk))
                    << text << chunk;
            }
        }
    }
    void reads_every_line() {
        QFETCH(QByteArray, text);
        QFETCH(qint64, chunk);
        QFile file(write(text));
        QVERIFY(file.open(QIODevice::ReadOnly));
        LineReader reader(file, text.size(), chunk);
        std::vector<TextLine> lines;
        while (const auto line = reader.next()) lines.push_back(*line);
        QVERIFY(!reader.failed());
        const std::vector<TextLine> expected = expected_lines(text);
        QCOMPARE(lines.size(), expected.size());
        for (size_t i = 0; i < lines.size(); ++i) {
            QCOMPARE(lines[i].length, expected[i].length);
            QCOMPARE(lines[i].next, expected[i].next);
        }
    }

    void a_short_file_fails() {
        const QByteArray text = "line one\nline two\nthe rest";
        QFile file(write(text));
        QVERIFY(file.open(QIODevice::ReadOnly));
        LineReader reader(file, text.size() + 100, 4);
        int lines = 0;
        while (reader.next()) ++lines;
        QVERIFY(reader.failed());
        QCOMPARE(lines, 2);  // the lines read whole before the file ran out
    }

  private:
    QString write(const QByteArray& text) {
        const QString path = dir_.filePath(QString("text%1.txt").arg(++files_));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size()) return {};
        return path;
    }

    QTemporaryDir dir_;
    int files_ = 0;
};

QTEST_MAIN(LineReaderTest)
#include "line_reader_test.moc"
