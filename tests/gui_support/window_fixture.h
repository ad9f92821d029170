#pragma once

#include <QAction>
#include <QLineEdit>
#include <QString>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <string>

#include "gui_support/scripted_prompts.h"
#include "shell/main_window.h"

namespace cifrovar::testing {

// A main window with scripted prompts, and helpers to drive it as a user would.
struct WindowFixture {
    ScriptedPrompts prompts;
    std::unique_ptr<Thlavni> window;
    QTemporaryDir folder;

    // The window with automatic display off unless asked for, trimming of zeros off.
    explicit WindowFixture(bool automatic_display = false);

    template <typename T>
    T* find(const char* name) const {
        return window->findChild<T*>(QString::fromLatin1(name));
    }
    QAction* action(const char* name) const { return find<QAction>(name); }
    void click(const char* name) const;
    void type(const char* field, const QString& text) const;
    void trigger(const char* action_name) const;

    // Chooses the calculation on the start page and runs it with the given operands.
    void run_power(const QString& base, const QString& exponent);
    void run_factorial(const QString& n);

    // The result as the window renders it, without header.
    std::string result_digits() const;
    QString path(const QString& name) const { return folder.filePath(name); }
    // The window's program, configuration and documents folders, inside the fixture's folder.
    std::string program_folder() const { return path("program/").toStdString(); }
    std::string app_data_folder() const { return path("config/").toStdString(); }
    std::string documents_folder() const { return path("documents/").toStdString(); }

    // Calls inspect with the viewer once it is shown, then closes it.
    void when_viewer_shown(std::function<void()> inspect);
};

std::string read_file(const QString& path);

}  // namespace cifrovar::testing
