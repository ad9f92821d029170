#include "shell/help_pages.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QString>
#include <QUrl>

#include "shell/platform_folders.h"

namespace cifrovar {

namespace {

std::optional<std::string> folder_with_index(const QString& folder) {
    const QFileInfo index(folder + "index.htm");
    if (!index.isFile()) return std::nullopt;
    const QString canonical = index.absoluteDir().canonicalPath();
    if (canonical.isEmpty()) return std::nullopt;
    return (canonical + '/').toStdString();
}

// Only plain names below the folder: the page comes from a link or a caller and must not
// reach files elsewhere.
bool inside_folder(const QString& page) {
    if (page.isEmpty() || page.startsWith('/')) return false;
    for (const QString& part : page.split('/')) {
        if (part.isEmpty() || part == "..") return false;
    }
    return true;
}

}  // namespace

std::optional<std::string> help_folder(const std::string& program_folder) {
    if (program_folder.empty()) return std::nullopt;
    QString base = QString::fromStdString(program_folder);
    if (!base.endsWith('/')) base += '/';
    if (auto beside = folder_with_index(base + "help/")) return beside;
    return folder_with_index(base + "../share/cifrovar/help/");
}

bool open_help_page(const std::string& folder, const std::string& page) {
    const QString name = QString::fromStdString(page);
    if (folder.empty() || !inside_folder(name)) return false;
    QString base = QString::fromStdString(folder);
    if (!base.endsWith('/')) base += '/';
    const QFileInfo file(base + name);
    if (!file.isFile()) return false;
    const QUrl url = QUrl::fromLocalFile(file.absoluteFilePath());
    return QDesktopServices::openUrl(url);
}

bool open_help(const std::string& page) {
    const std::optional<std::string> folder = help_folder(program_folder());
    if (!folder) return false;
    return open_help_page(*folder, page);
}

}  // namespace cifrovar
