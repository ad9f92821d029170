#include "shell/glyphs.h"

#include <QDir>
#include <QImage>
#include <QPixmap>
#include <QSet>
#include <QTest>

namespace cifrovar {
namespace {

constexpr int glyph_size = 20;

QImage rendered(const QIcon& icon, QIcon::Mode mode = QIcon::Normal) {
    return icon.pixmap(QSize(glyph_size, glyph_size), 1.0, mode)
        .toImage()
        .convertToFormat(QImage::Format_ARGB32);
}

bool has_visible_pixel(const QImage& image) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > 0) return true;
    return false;
}

}  // namespace

class GlyphsTest : public QObject {
    Q_OBJECT

  private slots:
    // The drawings are registered with the first glyph asked for, as in the program.
    void initTestCase() { glyph(QStringLiteral("novy")); }
    void draws_data();
    void draws();
    void every_drawing_is_a_named_glyph();
    void own_disabled_drawing_data();
    void own_disabled_drawing();
    void unknown_names_give_null_icons_data();
    void unknown_names_give_null_icons();
};

void GlyphsTest::draws_data() {
    QTest::addColumn<QIcon>("icon");
    const char* names[] = {"novy",    "otevri", "uloz",    "prerus",   "napoveda",    "cfr",
                           "do_tray", "text",   "vypocet", "mainicon", "cfr_document"};
    for (const char* name : names) QTest::newRow(name) << glyph(QString::fromLatin1(name));
    QTest::newRow("main_icon()") << main_icon();
    QTest::newRow("document_icon()") << document_icon();
}

void GlyphsTest::draws() {
    QFETCH(QIcon, icon);
    QVERIFY(!icon.isNull());
    const QImage image = rendered(icon);
    QCOMPARE(image.size(), QSize(glyph_size, glyph_size));
    QVERIFY(has_visible_pixel(image));
}

// A drawing added to the resources without a glyph name, or a glyph whose drawing is
// missing from them, shows up here.
void GlyphsTest::every_drawing_is_a_named_glyph() {
    const QSet<QString> expected = {
        "novy.svg",         "otevri.svg",          "uloz.svg",        "prerus.svg",  "napoveda.svg",
        "cfr.svg",          "do_tray.svg",         "text.svg",        "vypocet.svg", "mainicon.svg",
        "cfr_document.svg", "prerus_disabled.svg", "cfr_disabled.svg"};
    const QStringList present = QDir(QStringLiteral(":/icons")).entryList(QDir::Files);
    QCOMPARE(QSet<QString>(present.begin(), present.end()), expected);
}

void GlyphsTest::own_disabled_drawing_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("prerus") << QStringLiteral("prerus");
    QTest::newRow("cfr") << QStringLiteral("cfr");
}

// The disabled mode shows the greyed drawing itself, not Qt's greying of the normal one.
void GlyphsTest::own_disabled_drawing() {
    QFETCH(QString, name);
    const QIcon icon = glyph(name);
    const QImage disabled = rendered(icon, QIcon::Disabled);
    QVERIFY(disabled != rendered(icon));
    const QIcon greyed(QStringLiteral(":/icons/%1_disabled.svg").arg(name));
    QCOMPARE(disabled, rendered(greyed));
}

void GlyphsTest::unknown_names_give_null_icons_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("unknown") << QStringLiteral("neexistuje");
    QTest::newRow("empty") << QString();
    QTest::newRow("different case") << QStringLiteral("Novy");
    QTest::newRow("with extension") << QStringLiteral("novy.svg");
}

void GlyphsTest::unknown_names_give_null_icons() {
    QFETCH(QString, name);
    QVERIFY(glyph(name).isNull());
}

}  // namespace cifrovar

QTEST_MAIN(cifrovar::GlyphsTest)
#include "glyphs_test.moc"
