#include "gui_support/window_fixture.h"

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QTimer>
#include <QtTest>

#include "engine/engine.h"
#include "output/render_result.h"
#include "viewer/result_viewer.h"

namespace cifrovar::testing {

WindowFixture::WindowFixture(bool automatic_display) : window(std::make_unique<Thlavni>(prompts)) {
    if (action("autotext")->isChecked() != automatic_display) trigger("autotext");
    if (action("nuly_na_konci")->isChecked()) trigger("nuly_na_konci");
    window->engine().settings.adresar = folder.path().toStdString();
    // Nothing of the tests reaches the real configuration or documents.
    for (const char* sub : {"program", "config", "documents"}) QDir(folder.path()).mkpath(sub);
    window->set_places({program_folder(), app_data_folder(), documents_folder()});
    window->show();
}

void WindowFixture::click(const char* name) const {
    auto* button = find<QAbstractButton>(name);
    QVERIFY2(button != nullptr, name);
    button->click();
}

void WindowFixture::type(const char* field, const QString& text) const {
    auto* edit = find<QLineEdit>(field);
    QVERIFY2(edit != nullptr, field);
    edit->setText(text);
}

void WindowFixture::trigger(const char* action_name) const {
    QAction* a = action(action_name);
    QVERIFY2(a != nullptr, action_name);
    a->trigger();
}

void WindowFixture::run_power(const QString& base, const QString& exponent) {
    click("u_mocniny");
    type("moc_zaklad", base);
    type("moc_exponent", exponent);
    click("tlacitko");
}

void WindowFixture::run_factorial(const QString& n) {
    click("u_faktorial");
    type("fkt_zadani", n);
    click("tlacitko");
}

std::string WindowFixture::result_digits() const {
    const QString file = folder.filePath("digits.txt");
    render_result(window->engine(), file.toStdString(), false);
    return read_file(file);
}

void WindowFixture::when_viewer_shown(std::function<void()> inspect) {
    auto* poll = new QTimer(window.get());
    QObject::connect(poll, &QTimer::timeout, window.get(), [this, poll, inspect] {
        Tvypis& viewer = window->viewer();
        if (!viewer.isVisible()) return;
        poll->stop();
        poll->deleteLater();
        inspect();
        viewer.accept();
    });
    poll->start(5);
}

std::string read_file(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return "<missing " + path.toStdString() + ">";
    return f.readAll().toStdString();
}

}  // namespace cifrovar::testing
