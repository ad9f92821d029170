#include "shell/platform_folders.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace cifrovar {

namespace {

std::string with_slash(std::string folder) {
    if (!folder.empty() && folder.back() != '/') folder += '/';
    return folder;
}

// An XDG variable counts only when it holds an absolute path.
std::string absolute_env(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || value[0] != '/') return {};
    return value;
}

std::string executable_folder_from_proc() {
    std::error_code error;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return {};
    return exe.parent_path().string();
}

}  // namespace

std::string program_folder() {
    if (QCoreApplication::instance() != nullptr) {
        const QString dir = QCoreApplication::applicationDirPath();
        if (!dir.isEmpty()) return with_slash(dir.toStdString());
    }
    return with_slash(executable_folder_from_proc());
}

std::string app_data_folder() {
    const std::string xdg = absolute_env("XDG_CONFIG_HOME");
    if (!xdg.empty()) return with_slash(xdg);
    // QDir::homePath reads $HOME and falls back to the root when it is unset.
    return with_slash(QDir::homePath().toStdString()) + ".config/";
}

std::string documents_folder() {
    // A folder that does not exist yet is still the user's documents folder: a new account may
    // not have one, and the first start then makes it together with the working folder in it.
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || QDir::isRelativePath(folder)) return {};
    return with_slash(folder.toStdString());
}

}  // namespace cifrovar
