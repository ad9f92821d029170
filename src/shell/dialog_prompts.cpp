#include "shell/dialog_prompts.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace cifrovar {

namespace {

QWidget* owner() { return QApplication::activeWindow(); }

FileAnswer choose(const FileChoice& choice, QFileDialog::AcceptMode mode) {
    QFileDialog dialog(owner(), choice.title, choice.folder);
    dialog.setAcceptMode(mode);
    // An open dialog accepts a name that does not exist; the command reports it.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(choice.filters);
    dialog.setDefaultSuffix(choice.default_suffix);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !choice.confirm_overwrite);
    dialog.setSizeGripEnabled(true);
    if (!choice.proposed_name.isEmpty()) dialog.selectFile(choice.proposed_name);
    const bool chosen = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
    const QString folder = dialog.directory().absolutePath();
    if (!chosen) return {std::nullopt, folder};
    return {dialog.selectedFiles().front(), folder};
}

}  // namespace

void DialogPrompts::error(const QString& text) {
    QMessageBox::critical(owner(), title, text, QMessageBox::Ok);
}

void DialogPrompts::information(const QString& text) {
    QMessageBox::information(owner(), title, text, QMessageBox::Ok);
}

bool DialogPrompts::confirm(const QString& text) {
    return QMessageBox::question(owner(), title, text, QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

bool DialogPrompts::confirm_warning(const QString& text) {
    return QMessageBox::warning(owner(), title, text, QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

FileAnswer DialogPrompts::open_file(const FileChoice& choice) {
    return choose(choice, QFileDialog::AcceptOpen);
}

FileAnswer DialogPrompts::save_file(const FileChoice& choice) {
    return choose(choice, QFileDialog::AcceptSave);
}

}  // namespace cifrovar
