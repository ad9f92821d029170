#include "shell/window_snap.h"

#include <QTest>

Q_DECLARE_METATYPE(cifrovar::ScreenRect)

namespace cifrovar {
namespace {

// A full HD screen with the taskbar along the bottom, and the window used in most rows.
constexpr ScreenRect screen{0, 0, 1920, 1040};
constexpr int32_t w = 400;
constexpr int32_t h = 300;

ScreenRect at(int32_t left, int32_t top, int32_t width = w, int32_t height = h) {
    return {left, top, left + width, top + height};
}

}  // namespace

class WindowSnapTest : public QObject {
    Q_OBJECT

  private slots:
    void snaps_data();
    void snaps();
};

void WindowSnapTest::snaps_data() {
    QTest::addColumn<ScreenRect>("proposed");
    QTest::addColumn<int32_t>("width");
    QTest::addColumn<int32_t>("height");
    QTest::addColumn<ScreenRect>("work_area");
    QTest::addColumn<bool>("normal");
    QTest::addColumn<int32_t>("left");
    QTest::addColumn<int32_t>("top");

    auto row = [](const char* name, ScreenRect proposed, int32_t width, int32_t height,
                  ScreenRect area, bool normal, int32_t left, int32_t top) {
        QTest::newRow(name) << proposed << width << height << area << normal << left << top;
    };
    const int32_t bottom_snap = screen.bottom - h;
    const int32_t right_snap = screen.right - w;

    row("middle stays", at(500, 400), w, h, screen, true, 500, 400);
    row("left 9 px snaps", at(9, 400), w, h, screen, true, 0, 400);
    row("left 10 px stays", at(10, 400), w, h, screen, true, 10, 400);
    row("top 9 px snaps", at(500, 9), w, h, screen, true, 500, 0);
    row("top 10 px stays", at(500, 10), w, h, screen, true, 500, 10);
    row("bottom 9 px snaps", at(500, bottom_snap - 9), w, h, screen, true, 500, bottom_snap);
    row("bottom 10 px stays", at(500, bottom_snap - 10), w, h, screen, true, 500, bottom_snap - 10);
    row("right 9 px snaps", at(right_snap - 9, 400), w, h, screen, true, right_snap, 400);
    row("right 10 px stays", at(right_snap - 10, 400), w, h, screen, true, right_snap - 10, 400);
    row("left exactly on the edge", at(0, 400), w, h, screen, true, 0, 400);

    row("passing the left edge", at(-150, 400), w, h, screen, true, 0, 400);
    row("passing the top edge", at(500, -80), w, h, screen, true, 500, 0);
    row("passing the bottom edge", at(500, 900), w, h, screen, true, 500, bottom_snap);
    row("passing the right edge", at(1700, 400), w, h, screen, true, right_snap, 400);
    row("top left corner", at(3, -4), w, h, screen, true, 0, 0);
    row("bottom right corner", at(1600, 800), w, h, screen, true, right_snap, bottom_snap);

    // Taller or wider than the work area: both opposite edges are near, bottom and right win.
    row("top and bottom: bottom wins", at(500, 5, w, 1100), w, 1100, screen, true, 500,
        screen.bottom - 1100);
    row("left and right: right wins", at(5, 400, 2000, h), 2000, h, screen, true,
        screen.right - 2000, 400);

    // The edges are tested on the proposal, whose size may differ from the window's.
    row("proposal wider than the window", at(1500, 400, 500, h), w, h, screen, true, right_snap,
        400);
    row("size kept in the middle", at(500, 400, 700, 500), w, h, screen, true, 500, 400);

    row("minimised or maximised: left kept", at(-150, 400), w, h, screen, false, -150, 400);
    row("minimised or maximised: corner kept", at(1700, 900, 800, 600), w, h, screen, false, 1700,
        900);

    const ScreenRect taskbar_left{60, 0, 1920, 1080};
    row("taskbar on the left: 5 px snaps", at(65, 400), w, h, taskbar_left, true, 60, 400);
    row("taskbar on the left: 10 px stays", at(70, 400), w, h, taskbar_left, true, 70, 400);
    row("taskbar on the left: over it", at(20, 400), w, h, taskbar_left, true, 60, 400);
    const ScreenRect taskbar_top{0, 40, 1920, 1080};
    row("taskbar on top: 9 px snaps", at(500, 49), w, h, taskbar_top, true, 500, 40);
    row("taskbar on top: 10 px stays", at(500, 50), w, h, taskbar_top, true, 500, 50);
    row("taskbar on top: over it", at(500, 0), w, h, taskbar_top, true, 500, 40);
    const ScreenRect second_screen{1920, 0, 3840, 1080};
    row("second screen: left edge", at(1925, 400), w, h, second_screen, true, 1920, 400);
    row("second screen: right edge", at(3435, 400), w, h, second_screen, true, 3840 - w, 400);
}

void WindowSnapTest::snaps() {
    QFETCH(ScreenRect, proposed);
    QFETCH(int32_t, width);
    QFETCH(int32_t, height);
    QFETCH(ScreenRect, work_area);
    QFETCH(bool, normal);
    QFETCH(int32_t, left);
    QFETCH(int32_t, top);

    const ScreenRect r = snap_to_work_area(proposed, width, height, work_area, normal);
    QCOMPARE(r.left, left);
    QCOMPARE(r.top, top);
    QCOMPARE(r.right - r.left, width);
    QCOMPARE(r.bottom - r.top, height);
}

}  // namespace cifrovar

QTEST_APPLESS_MAIN(cifrovar::WindowSnapTest)
#include "window_snap_test.moc"
