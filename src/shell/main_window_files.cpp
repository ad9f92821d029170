// The main window's commands that move a calculation or its result through files: open, save
// and the result display.
#include <QCoreApplication>

#include "engine/engine.h"
#include "errors/input_error.h"
#include "files/calculation_commands.h"
#include "files/default_name.h"
#include "output/private_temp_file.h"
#include "output/render_result.h"
#include "shell/calculation_dialogs.h"
#include "shell/main_window.h"
#include "shell/prompts.h"
#include "viewer/result_viewer.h"

namespace cifrovar {

namespace {

// The name proposed by a save dialog; kept from the previous proposal for a kind without one.
QString proposed_name(const CalcState& state, QString& previous) {
    if (const std::optional<std::string> name = default_file_name(state)) {
        previous = QString::fromStdString(*name);
    }
    return previous;
}

// The result file as messages name it: the file itself may have no name.
std::string shown_result_file() { return temp_folder() + "cifrovar.tmp"; }

}  // namespace

void Thlavni::b_otevriClick() {
    command([this] {
        const FileAnswer chosen = prompts_.open_file(open_calculation_choice(open_folder));
        // A cancelled chooser reopens where the user left it.
        if (!chosen.file) {
            open_folder = chosen.folder;
            return;
        }
        const QString path = with_default_suffix(*chosen.file, "cfr");
        open_calculation(*engine_, path.toStdString());
        open_folder = folder_of(path);
    });
}

void Thlavni::b_ulozClick() {
    command([this] {
        const QString name = proposed_name(engine_->st, proposed_calculation_name_);
        const FileAnswer chosen = prompts_.save_file(save_calculation_choice(save_folder, name));
        if (!chosen.file) {
            save_folder = chosen.folder;
            return;
        }
        const QString path = with_default_suffix(*chosen.file, "cfr");
        save_calculation(*engine_, path.toStdString());
        save_folder = folder_of(path);
    });
}

const std::string& Thlavni::result_file() {
    // A fresh file for every display: the text goes in through the descriptor, so a file left
    // from an earlier failure would keep its longer tail.
    result_file_.reset();
    try {
        result_file_ = std::make_unique<PrivateTempFile>();
    } catch (const std::exception&) {
        // Told as a failed render would tell it, with the folder the user can mend.
        const std::string where = shown_result_file();
        engine_->report_error("Soubor " + where + " nelze uložit");
        raise_input_error("Soubor " + where + " nelze uložit !!!");
    }
    return result_file_->path();
}

void Thlavni::show_result() {
    // A window that is closing shows nothing more; neither does a run that reported a failure.
    if (close_pending_ || engine_->st.error_reported) return;
    set_status("Vypisuji výsledek ...");
    QCoreApplication::processEvents();
    const std::string path = result_file();
    // The viewer is closed, so the text has no header.
    const RenderInfo info =
        render_result_to(*engine_, result_file_->descriptor(), shown_result_file());
    const QString description = QString::fromStdString(calculation_description(engine_->st));
    const bool loaded = viewer_->load(QString::fromStdString(path), description, info.digit_count);
    // The view keeps its mapping of the text without the name, and a big result's file (hundreds
    // of megabytes) gives its room back as soon as the view lets it go, not at the program's end.
    result_file_.reset();
    if (!loaded) {
        engine_->report_error("Výsledek nelze rozbrazit" + description.toStdString());
        raise_input_error("Výsledek nelze rozbrazit, zkuste znovu stisknout tlačítko Počítej");
    }
    viewer_->exec();
    set_status("Připraven k výpočtu");
    QCoreApplication::processEvents();
}

}  // namespace cifrovar
