// Operands of ten digits, which only files bring into the window: the bases 1000000000 and
// 1000000005 of the older program's power files, and 2147483647, which a user types only in
// hexadecimal. Opened, each stands whole in its field and in the calculation's description, is
// saved to the same records and continues to the exact result.
#include <QLineEdit>
#include <QtTest>
#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <string>

#include "engine/engine.h"
#include "gui_support/file_bytes.h"
#include "gui_support/window_fixture.h"
#include "output/render_result.h"
#include "support/gmp_oracle.h"

using namespace cifrovar;
using namespace cifrovar::testing;

namespace {

constexpr int32_t largest = 2147483647;

// 32-bit little-endian records, as calculation files hold them.
QByteArray records(std::initializer_list<int32_t> values) {
    QByteArray bytes;
    for (const int32_t value : values) {
        const auto u = static_cast<uint32_t>(value);
        for (int shift = 0; shift < 32; shift += 8) bytes.append(static_cast<char>(u >> shift));
    }
    return bytes;
}

// The decimal number in limbs of four digits, least significant first, zeros up to top_index.
QByteArray limbs(const std::string& digits, int32_t top_index) {
    QByteArray bytes;
    for (int32_t i = 0; i <= top_index; ++i) {
        const int64_t end = static_cast<int64_t>(digits.size()) - 4 * int64_t{i};
        const int64_t begin = std::max<int64_t>(end - 4, 0);
        bytes += records({end <= 0 ? 0 : std::stoi(digits.substr(begin, end - begin))});
    }
    return bytes;
}

QString description(const WindowFixture& f) {
    return QString::fromStdString(calculation_description(f.window->engine().st));
}

QString text_of(const WindowFixture& f, const QString& field) {
    return f.find<QLineEdit>(field.toLatin1().constData())->text();
}

// Opens path with "Otevřít" and saves the calculation again with "Uložit"; the bytes saved.
QByteArray open_and_save(WindowFixture& f, const QString& path) {
    f.prompts.files.push_back(path);
    f.click("b_otevri");
    f.prompts.files.push_back(f.path("again.cfr"));
    f.click("b_uloz");
    return bytes_of(f.path("again.cfr"));
}

}  // namespace

class TenDigitOperandsTest : public QObject {
    Q_OBJECT

  private slots:
    void legacy_power_files_data() {
        QTest::addColumn<int>("base");
        QTest::addColumn<int>("exponent");
        QTest::addColumn<int>("target");
        // 1000000000 is the tag offset itself, of no kind: the older layout.
        QTest::newRow("1000000000 ^ 1 to 3") << 1000000000 << 1 << 3;
        QTest::newRow("1000000005 ^ 1 to 2") << 1000000005 << 1 << 2;
        QTest::newRow("1000000005 ^ 3 to 7") << 1000000005 << 3 << 7;
    }
    void legacy_power_files() {
        QFETCH(int, base);
        QFETCH(int, exponent);
        QFETCH(int, target);
        WindowFixture f;
        // No kind tag: the base is the first record, limbs of four digits from the first size.
        const QByteArray legacy =
            records({base, exponent, 100}) + limbs(power_text(base, exponent), 100);
        write_bytes(f.path("old.exk"), legacy);
        const QByteArray saved = open_and_save(f, f.path("old.exk"));
        QVERIFY(f.prompts.errors.empty());
        QCOMPARE(text_of(f, "moc_zaklad"), QString::number(base));
        QCOMPARE(text_of(f, "moc_exponent"), QString::number(exponent));
        QCOMPARE(f.result_digits(), power_text(base, exponent));
        // Saved in today's layout: the powers' tag before the older file's records.
        QCOMPARE(saved, records({1000000001}) + legacy);

        f.type("moc_exponent", QString::number(target));
        f.click("tlacitko");
        QVERIFY(f.prompts.errors.empty());
        QCOMPARE(f.result_digits(), power_text(base, target));
        QCOMPARE(description(f), QString("%1 ^ %2").arg(base).arg(target));
        QCOMPARE(text_of(f, "moc_zaklad"), QString::number(base));
    }

    void largest_operand_from_hexadecimal_data() {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("operand_field");
        QTest::addColumn<QString>("operand");
        QTest::addColumn<QString>("step_field");
        QTest::addColumn<QString>("step");
        QTest::addColumn<QByteArray>("start_value");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QByteArray>("target_value");
        QTest::addColumn<QString>("target_description");
        // The operand of 2147483647 typed in hexadecimal; the target goes into the field of the
        // exponent or the class.
        QTest::newRow("powers") << "u_mocniny"
                                << "moc_zaklad"
                                << "$7FFFFFFF"
                                << "moc_exponent"
                                << "1" << QByteArray::fromStdString(power_text(largest, 1)) << "3"
                                << QByteArray::fromStdString(power_text(largest, 3))
                                << "2147483647 ^ 3";
        QTest::newRow("variations") << "u_variace"
                                    << "vrc_prvky"
                                    << "$7FFFFFFF"
                                    << "vrc_trida"
                                    << "1" << QByteArray::fromStdString(variations_text(1, largest))
                                    << "3" << QByteArray::fromStdString(variations_text(3, largest))
                                    << "Variace 3. třídy z(e) 2147483647 prvků";
        QTest::newRow("combinations") << "u_kombinace"
                                      << "kmb_prvky"
                                      << "$7FFFFFFF"
                                      << "kmb_trida"
                                      << "2" << QByteArray::fromStdString(binomial_text(largest, 2))
                                      << "4" << QByteArray::fromStdString(binomial_text(largest, 4))
                                      << "Kombinace 4. třídy z(e) 2147483647 prvků";
    }
    void largest_operand_from_hexadecimal() {
        QFETCH(QString, page);
        QFETCH(QString, operand_field);
        QFETCH(QString, operand);
        QFETCH(QString, step_field);
        QFETCH(QString, step);
        QFETCH(QByteArray, start_value);
        QFETCH(QString, target);
        QFETCH(QByteArray, target_value);
        QFETCH(QString, target_description);
        WindowFixture first;
        first.click(page.toLatin1().constData());
        first.type(operand_field.toLatin1().constData(), operand);
        first.type(step_field.toLatin1().constData(), step);
        first.click("tlacitko");
        const QString made = first.path("made.cfr");
        first.prompts.files.push_back(made);
        first.click("b_uloz");
        QVERIFY(first.prompts.errors.empty());

        WindowFixture second;
        const QByteArray saved = open_and_save(second, made);
        QVERIFY(second.prompts.errors.empty());
        QCOMPARE(text_of(second, operand_field), QString::number(largest));
        QCOMPARE(text_of(second, step_field), step);
        QCOMPARE(QByteArray::fromStdString(second.result_digits()), start_value);
        QCOMPARE(saved, bytes_of(made));

        second.type(step_field.toLatin1().constData(), target);
        second.click("tlacitko");
        QVERIFY(second.prompts.errors.empty());
        QCOMPARE(QByteArray::fromStdString(second.result_digits()), target_value);
        QCOMPARE(description(second), target_description);
        QCOMPARE(text_of(second, operand_field), QString::number(largest));
    }
};

QTEST_MAIN(TenDigitOperandsTest)
#include "ten_digit_operands_test.moc"
