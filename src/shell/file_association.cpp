#include "shell/file_association.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>
#include <QString>
#include <cstdlib>
#include <optional>

// The document icon and the desktop files are compiled into the static library; registering
// them here makes sure the linker keeps them for every program that associates files.
// Q_INIT_RESOURCE must be used outside any namespace.
static void register_association_resources() {
    Q_INIT_RESOURCE(cifrovar);
    Q_INIT_RESOURCE(cifrovar_desktop);
}

namespace cifrovar {

namespace {

const QByteArray mime_type = "application/x-cifrovar-calculation";
const QByteArray desktop_id = "cifrovar.desktop";
const QByteArray defaults_group = "[Default Applications]";
constexpr int tool_timeout_ms = 60000;

struct Paths {
    QString mime_package;
    QString desktop_entry;
    QString icon;
    QString mimeapps;
    QString mime_folder;
    QString applications_folder;
};

QString folder_of(const std::string& place) {
    QString folder = QString::fromStdString(place);
    if (!folder.endsWith('/')) folder += '/';
    return folder;
}

// Relative or empty places would write into whatever the current directory happens to be.
bool absolute_places(const AssociationPlaces& places) {
    return !places.data_home.empty() && places.data_home.front() == '/' &&
           !places.config_home.empty() && places.config_home.front() == '/';
}

Paths paths_of(const AssociationPlaces& places) {
    const QString data = folder_of(places.data_home);
    Paths p;
    p.mime_folder = data + "mime";
    p.applications_folder = data + "applications";
    p.mime_package = p.mime_folder + "/packages/cifrovar.xml";
    p.desktop_entry = p.applications_folder + '/' + QString::fromLatin1(desktop_id);
    p.icon = data + "icons/hicolor/scalable/mimetypes/application-x-cifrovar-calculation.svg";
    p.mimeapps = folder_of(places.config_home) + "mimeapps.list";
    return p;
}

std::string env_place(const char* name, const char* below_home) {
    const char* value = std::getenv(name);
    if (value != nullptr && value[0] == '/') return folder_of(value).toStdString();
    return folder_of(QDir::homePath().toStdString()).toStdString() + below_home;
}

std::optional<QByteArray> resource(const QString& name) {
    static const bool registered = (register_association_resources(), true);
    Q_UNUSED(registered);
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    return file.readAll();
}

// Replaces the file as a whole, so that a failed write leaves the old contents in place.
bool write_file(const QString& path, const QByteArray& contents) {
    if (!QDir().mkpath(QFileInfo(path).path())) return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    if (file.write(contents) != contents.size()) return false;
    return file.commit();
}

bool remove_file(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink()) return true;
    return QFile::remove(path);
}

// The Exec value that starts the executable with one file: the path in double quotes, with
// the quoting escapes for '"', '`', '$' and '\', then the string escape of every backslash,
// and '%' doubled so that it is not read as a field code.
QByteArray exec_value(const QString& executable) {
    QByteArray quoted;
    for (const char c : executable.toUtf8()) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        quoted += c;
    }
    quoted.replace('\\', "\\\\");
    quoted.replace('%', "%%");
    return '"' + quoted + '"';
}

bool has_control_character(const QString& text) {
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f) return true;
    }
    return false;
}

// ---- mimeapps.list, edited line by line so that everything else stays byte for byte ----

struct Lines {
    QByteArrayList lines;
    bool final_newline = true;
};

Lines split_lines(const QByteArray& text) {
    Lines result;
    if (text.isEmpty()) return result;
    result.lines = text.split('\n');
    if (text.endsWith('\n')) {
        result.lines.removeLast();
    } else {
        result.final_newline = false;
    }
    return result;
}

QByteArray join_lines(const Lines& l) {
    QByteArray text = l.lines.join('\n');
    if (!l.lines.isEmpty() && l.final_newline) text += '\n';
    return text;
}

bool is_group(const QByteArray& line) { return line.trimmed().startsWith('['); }

bool is_defaults_group(const QByteArray& line) { return line.trimmed() == defaults_group; }

bool is_our_type(const QByteArray& line) {
    const qsizetype eq = line.indexOf('=');
    return eq > 0 && line.left(eq).trimmed() == mime_type;
}

// The handlers named on a type's line.
QByteArrayList handlers_of(const QByteArray& line) {
    QByteArrayList ids;
    for (const QByteArray& part : line.mid(line.indexOf('=') + 1).split(';')) {
        const QByteArray id = part.trimmed();
        if (!id.isEmpty()) ids.append(id);
    }
    return ids;
}

QByteArrayList other_handlers(const QByteArray& line) {
    QByteArrayList others = handlers_of(line);
    others.removeAll(desktop_id);
    return others;
}

QByteArray type_line(const QByteArrayList& handlers, const QByteArray& like) {
    QByteArray line = mime_type + '=' + handlers.join(';');
    if (handlers.size() > 1) line += ';';
    if (like.endsWith('\r')) line += '\r';
    return line;
}

// Puts cifrovar.desktop first among the type's defaults, keeping any other handler the user
// had listed after it.
void add_default(Lines& l) {
    qsizetype group = -1;
    for (qsizetype i = 0; i < l.lines.size() && group < 0; ++i) {
        if (is_defaults_group(l.lines[i])) group = i;
    }
    if (group < 0) {
        if (!l.lines.isEmpty() && !l.lines.last().trimmed().isEmpty()) l.lines.append(QByteArray());
        l.lines.append(defaults_group);
        l.lines.append(type_line({desktop_id}, {}));
        l.final_newline = true;
        return;
    }
    qsizetype last_entry = group;
    for (qsizetype i = group + 1; i < l.lines.size() && !is_group(l.lines[i]); ++i) {
        if (is_our_type(l.lines[i])) {
            l.lines[i] =
                type_line(QByteArrayList{desktop_id} + other_handlers(l.lines[i]), l.lines[i]);
            return;
        }
        if (!l.lines[i].trimmed().isEmpty()) last_entry = i;
    }
    l.lines.insert(last_entry + 1, type_line({desktop_id}, l.lines[group]));
}

// Registering appends a defaults group, after an empty line, to a file that had none; once our
// line is gone again, such a group left empty at the end of the file goes with its empty line.
void drop_trailing_empty_defaults(Lines& l) {
    qsizetype end = l.lines.size();
    while (end > 0 && l.lines[end - 1].trimmed().isEmpty()) --end;
    if (end == 0 || !is_defaults_group(l.lines[end - 1])) return;
    qsizetype start = end - 1;
    if (start > 0 && l.lines[start - 1].trimmed().isEmpty()) --start;
    l.lines.erase(l.lines.begin() + start, l.lines.end());
}

// Takes cifrovar.desktop out of the type's defaults in every defaults group; a line left
// without handlers goes. True when something changed.
bool drop_default(Lines& l) {
    bool changed = false;
    bool in_defaults = false;
    for (qsizetype i = 0; i < l.lines.size();) {
        if (is_group(l.lines[i])) in_defaults = is_defaults_group(l.lines[i]);
        if (in_defaults && is_our_type(l.lines[i])) {
            if (handlers_of(l.lines[i]).contains(desktop_id)) {
                const QByteArrayList others = other_handlers(l.lines[i]);
                changed = true;
                if (others.isEmpty()) {
                    l.lines.removeAt(i);
                    continue;
                }
                l.lines[i] = type_line(others, l.lines[i]);
            }
        }
        ++i;
    }
    if (changed) drop_trailing_empty_defaults(l);
    return changed;
}

// A file holding nothing but empty defaults groups carries no setting of the user's.
bool holds_nothing(const Lines& l) {
    for (const QByteArray& line : l.lines) {
        if (!line.trimmed().isEmpty() && !is_defaults_group(line)) return false;
    }
    return true;
}

std::optional<QByteArray> read_existing(const QString& path) {
    QFile file(path);
    if (!file.exists()) return QByteArray();
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    return file.readAll();
}

bool set_default(const QString& mimeapps) {
    // An existing file that cannot be read must not be replaced by one holding only our line.
    const std::optional<QByteArray> text = read_existing(mimeapps);
    if (!text) return false;
    Lines l = split_lines(*text);
    add_default(l);
    return write_file(mimeapps, join_lines(l));
}

bool clear_default(const QString& mimeapps) {
    const std::optional<QByteArray> text = read_existing(mimeapps);
    if (!text) return false;
    if (text->isEmpty()) return true;
    Lines l = split_lines(*text);
    if (!drop_default(l)) return true;
    if (holds_nothing(l)) return QFile::remove(mimeapps);
    return write_file(mimeapps, join_lines(l));
}

// ---- the desktop's databases ----

// Runs a refresh tool when it is installed; a missing, failing or hanging tool only means the
// desktop notices the change later.
void run_tool(const char* name, const QString& folder) {
    if (!QFileInfo(folder).isDir()) return;
    const QString tool = QStandardPaths::findExecutable(QString::fromLatin1(name));
    if (tool.isEmpty()) return;
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(tool, {folder});
    if (!process.waitForStarted()) return;
    if (!process.waitForFinished(tool_timeout_ms)) {
        process.kill();
        process.waitForFinished();
    }
}

void refresh(const Paths& p) {
    run_tool("update-mime-database", p.mime_folder);
    run_tool("update-desktop-database", p.applications_folder);
}

std::optional<QByteArray> desktop_entry(const QString& executable) {
    std::optional<QByteArray> entry = resource(QStringLiteral(":/desktop/cifrovar.desktop.in"));
    if (!entry) return std::nullopt;
    entry->replace("@EXEC@", exec_value(executable));
    entry->replace("@ICON@", "application-x-cifrovar-calculation");
    return entry;
}

}  // namespace

AssociationPlaces association_places() {
    return {env_place("XDG_DATA_HOME", ".local/share/"), env_place("XDG_CONFIG_HOME", ".config/")};
}

bool register_association(const std::string& executable, const AssociationPlaces& places) {
    if (executable.empty() || !absolute_places(places)) return false;
    const QString program = QFileInfo(QString::fromStdString(executable)).absoluteFilePath();
    if (has_control_character(program)) return false;
    const std::optional<QByteArray> package = resource(QStringLiteral(":/desktop/cifrovar.xml"));
    const std::optional<QByteArray> icon = resource(QStringLiteral(":/icons/cfr_document.svg"));
    const std::optional<QByteArray> entry = desktop_entry(program);
    if (!package || !icon || !entry) return false;
    const Paths p = paths_of(places);
    const bool written = write_file(p.mime_package, *package) && write_file(p.icon, *icon) &&
                         write_file(p.desktop_entry, *entry) && set_default(p.mimeapps);
    refresh(p);
    return written;
}

bool unregister_association(const AssociationPlaces& places) {
    if (!absolute_places(places)) return false;
    const Paths p = paths_of(places);
    // Every step runs, so that one stubborn file does not keep the others registered.
    bool ok = clear_default(p.mimeapps);
    ok = remove_file(p.desktop_entry) && ok;
    ok = remove_file(p.mime_package) && ok;
    ok = remove_file(p.icon) && ok;
    refresh(p);
    return ok;
}

}  // namespace cifrovar
