#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <optional>
#include <utility>
#include <vector>

#include "shell/prompts.h"

namespace cifrovar::testing {

// Prompts that answer from a script and keep what was asked, for tests without a person.
class ScriptedPrompts : public Prompts {
  public:
    std::vector<QString> errors;
    std::vector<QString> informations;
    std::vector<QString> questions;
    std::vector<QString> warnings;         // those of the questions asked with the warning icon
    std::vector<FileChoice> file_choices;  // every chooser, in the order it was opened
    std::vector<QString> titles;           // the title of every message box and question

    // Answers to the next questions (true = Yes); an unscripted question is answered No.
    std::deque<bool> answers;
    // Answers to the next file choosers; nothing = Cancel, also when the script is empty.
    std::deque<std::optional<QString>> files;
    // The folders the user moves the next file choosers to; unscripted, one closes where it
    // opened.
    std::deque<QString> folders;

    void error(const QString& text) override {
        titles.push_back(title);
        errors.push_back(text);
    }
    void information(const QString& text) override {
        titles.push_back(title);
        informations.push_back(text);
    }
    bool confirm(const QString& text) override {
        titles.push_back(title);
        questions.push_back(text);
        return take(answers).value_or(false);
    }
    bool confirm_warning(const QString& text) override {
        warnings.push_back(text);
        return confirm(text);
    }
    FileAnswer open_file(const FileChoice& choice) override { return choose(choice); }
    FileAnswer save_file(const FileChoice& choice) override { return choose(choice); }

  private:
    FileAnswer choose(const FileChoice& choice) {
        file_choices.push_back(choice);
        std::optional<QString> file = take(files).value_or(std::nullopt);
        return {std::move(file), take(folders).value_or(choice.folder)};
    }
    template <typename T>
    static std::optional<T> take(std::deque<T>& queue) {
        if (queue.empty()) return std::nullopt;
        T front = queue.front();
        queue.pop_front();
        return front;
    }
};

}  // namespace cifrovar::testing
