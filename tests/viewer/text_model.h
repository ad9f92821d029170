#pragma once

// Texts for the viewer's tests and the rows a view must lay them out in.

#include <QByteArray>
#include <QtGlobal>
#include <algorithm>
#include <random>
#include <vector>

namespace cifrovar::testing {

// One visual row of the plain model: the bytes [start, end) of the text it shows.
struct ModelRow {
    qint64 start;
    qint64 end;
};

// Rows as the view must lay them out: split at LF, a CR before the LF dropped, an empty line one
// row, a line end at the very end opening no further row, every line cut into `columns` pieces.
inline std::vector<ModelRow> model_rows(const QByteArray& text, qint64 columns) {
    std::vector<ModelRow> rows;
    qint64 pos = 0;
    const qint64 size = text.size();
    while (pos < size) {
        qint64 lf = text.indexOf('\n', pos);
        const qint64 next = lf < 0 ? size : lf + 1;
        qint64 end = lf < 0 ? size : lf;
        if (lf >= 0 && end > pos && text[end - 1] == '\r') --end;
        if (end == pos) rows.push_back({pos, pos});
        for (qint64 s = pos; s < end; s += columns) rows.push_back({s, std::min(s + columns, end)});
        pos = next;
    }
    return rows;
}

inline QByteArray random_digits(qint64 count, unsigned seed) {
    std::mt19937 random(seed);
    QByteArray digits(count, '0');
    for (char& c : digits) c = static_cast<char>('0' + random() % 10);
    return digits;
}

// A text with every kind of line the index tells apart: header lines in Windows-1250, short
// lines of random lengths with LF or CR LF, runs of equal lines (a wrapped result), single long
// lines, empty lines, a block of many tiny lines, and no line end at the end.
inline QByteArray mixed_text() {
    std::mt19937 random(1234);
    QByteArray text =
        "Po\xe8"
        "et \xe8\xedslic: 5000\r\n=== Cifrovar ===\r\n\r\n";
    auto short_lines = [&](int count) {
        for (int i = 0; i < count; ++i) {
            text += random_digits(random() % 41, random());
            text += random() % 2 ? "\r\n" : "\n";
        }
    };
    short_lines(60);
    for (int i = 0; i < 30; ++i) text += random_digits(64, 7) + "\r\n";  // a wrapped result
    short_lines(5);
    text += random_digits(3000, 8) + "\r\n";
    text += "\n\n";
    for (int i = 0; i < 3; ++i) text += random_digits(700, 9) + "\n";
    for (int i = 0; i < 1500; ++i) text += "7\n";
    short_lines(40);
    text += random_digits(2500, 10) + " x 10^123";
    return text;
}

}  // namespace cifrovar::testing
