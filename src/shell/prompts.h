#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace cifrovar {

// What one file chooser asks: its title, filters ("Textový soubor (*.txt)"), the extension
// added to a name typed without one, the folder it opens in and the name it proposes.
struct FileChoice {
    QString title;
    QStringList filters;
    QString default_suffix;
    QString folder;
    QString proposed_name;
    bool confirm_overwrite = false;
};

// How a file chooser ended: the chosen file's full path, or nothing when the user cancelled, and
// the folder it showed last, where the user was when it closed.
struct FileAnswer {
    std::optional<QString> file;
    QString folder;
};

// Every message box and file chooser of the program. The window shows real dialogs; the tests
// script the answers.
class Prompts {
  public:
    virtual ~Prompts() = default;

    // The title of the message boxes: "Cifrovar", "Cifrovar - 1.spuštění" during a first start.
    QString title = "Cifrovar";

    // A message box titled "Cifrovar": an error icon or an information icon, with OK.
    virtual void error(const QString& text) = 0;
    virtual void information(const QString& text) = 0;
    // A Yes/No question with a question icon, or a warning icon; true only for Yes.
    virtual bool confirm(const QString& text) = 0;
    virtual bool confirm_warning(const QString& text) { return confirm(text); }

    virtual FileAnswer open_file(const FileChoice& choice) = 0;
    virtual FileAnswer save_file(const FileChoice& choice) = 0;
};

}  // namespace cifrovar
