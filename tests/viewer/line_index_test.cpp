// Indexing a text slice by slice: the final segments are those of one pass however the slices
// fall, and what each step hands out in between stands for the same lines as far as they are
// read, so that rows laid out from it keep their place.

#include "viewer/line_index.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <utility>
#include <vector>

#include "viewer/text_model.h"

using cifrovar::IndexProgress;
using cifrovar::LineIndexer;
using cifrovar::TextSegment;
using namespace cifrovar::testing;

namespace {

// The lines segments stand for, as (start, characters): uniform ones line by line, mixed ones
// found in the text.
std::vector<std::pair<qint64, qint64>> lines_of(const QByteArray& text,
                                                const std::vector<TextSegment>& segments) {
    std::vector<std::pair<qint64, qint64>> lines;
    for (const TextSegment& s : segments) {
        for (qint64 i = 0, pos = s.offset; i < s.lines; ++i) {
            if (s.stride != 0) {
                lines.emplace_back(pos, s.length);
                pos += s.stride;
                continue;
            }
            const qint64 lf = text.indexOf('\n', pos);
            const qint64 end = lf < 0 || lf >= s.end ? s.end : lf;
            const bool cr =
                end > pos && end < text.size() && text[end] == '\n' && text[end - 1] == '\r';
            lines.emplace_back(pos, end - pos - (cr ? 1 : 0));
            pos = end + 1;
        }
    }
    return lines;
}

}  // namespace

class LineIndexTest : public QObject {
    Q_OBJECT

  private slots:
    void slices_find_the_one_pass_segments_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<qint64>("slice");
        QByteArray wrapped;
        for (int i = 0; i < 200; ++i) wrapped += random_digits(64, 30) + "\r\n";
        const QList<QPair<const char*, QByteArray>> texts = {
            {"mixed lines", mixed_text()},
            {"one long line", random_digits(20000, 31)},
            {"a long line ending in CR LF", random_digits(5000, 32) + "\r\n"},
            {"a wrapped result", wrapped},
        };
        for (const qint64 slice : {1, 2, 7, 64, 1000, 1 << 20}) {
            for (const auto& [name, text] : texts) {
                QTest::addRow("%s, slice %lld", name, static_cast<long long>(slice))
                    << text << slice;
            }
        }
    }
    void slices_find_the_one_pass_segments() {
        QFETCH(QByteArray, text);
        QFETCH(qint64, slice);
        const std::vector<TextSegment> whole = index(text, text.size() + 1, nullptr);
        int steps = 0;
        const std::vector<TextSegment> sliced = index(text, slice, &steps);
        if (QTest::currentTestFailed()) return;
        QCOMPARE(sliced.size(), whole.size());
        for (size_t i = 0; i < whole.size(); ++i) {
            QCOMPARE(sliced[i].offset, whole[i].offset);
            QCOMPARE(sliced[i].end, whole[i].end);
            QCOMPARE(sliced[i].lines, whole[i].lines);
            QCOMPARE(sliced[i].length, whole[i].length);
            QCOMPARE(sliced[i].stride, whole[i].stride);
        }
        QCOMPARE(steps, static_cast<int>((text.size() + slice - 1) / slice));
        QCOMPARE(lines_of(text, whole).size(), model_rows(text, text.size() + 1).size());
    }

  private:
    // The final segments, found slice by slice; every step's progress is checked against the
    // lines of one pass.
    std::vector<TextSegment> index(const QByteArray& text, qint64 slice, int* steps) {
        const QString path = dir_.filePath(QString("text%1.txt").arg(++files_));
        {
            QFile out(path);
            if (!out.open(QIODevice::WriteOnly) || out.write(text) != text.size()) return {};
        }
        auto file = std::make_unique<QFile>(path);
        if (!file->open(QIODevice::ReadOnly)) return {};
        LineIndexer indexer(std::move(file), text.size(), slice);
        const std::vector<ModelRow> lines = model_rows(text, text.size() + 1);
        std::vector<TextSegment> closed;
        for (;;) {
            indexer.read_slice();
            IndexProgress progress = indexer.take();
            if (steps != nullptr) ++*steps;
            [&] { QVERIFY(!progress.failed); }();
            closed.insert(closed.end(), progress.closed.begin(), progress.closed.end());
            if (steps != nullptr) check_step(text, lines, closed, progress);
            if (progress.done || QTest::currentTestFailed()) return closed;
        }
    }

    // Closed and open segments stand for the first lines of the text, the last of them perhaps
    // not yet whole (fewer characters, never more), and cover the bytes known.
    static void check_step(const QByteArray& text, const std::vector<ModelRow>& lines,
                           std::vector<TextSegment> known, const IndexProgress& progress) {
        known.insert(known.end(), progress.open.begin(), progress.open.end());
        const auto found = lines_of(text, known);
        QVERIFY(found.size() <= lines.size());
        for (size_t i = 0; i < found.size(); ++i) {
            QCOMPARE(found[i].first, lines[i].start);
            const qint64 length = lines[i].end - lines[i].start;
            if (i + 1 < found.size() || progress.done) {
                QCOMPARE(found[i].second, length);
            } else {
                QVERIFY(found[i].second <= length);
            }
        }
        QCOMPARE(known.empty() ? qint64{0} : known.back().end, progress.known_end);
    }

    QTemporaryDir dir_;
    int files_ = 0;
};

QTEST_MAIN(LineIndexTest)
#include "line_index_test.moc"
