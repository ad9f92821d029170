#pragma once

#include "shell/prompts.h"

class QWidget;

namespace cifrovar {

// The real message boxes and file choosers, over the active window.
class DialogPrompts : public Prompts {
  public:
    void error(const QString& text) override;
    void information(const QString& text) override;
    bool confirm(const QString& text) override;
    bool confirm_warning(const QString& text) override;
    std::optional<QString> open_file(const FileChoice& choice) override;
    std::optional<QString> save_file(const FileChoice& choice) override;
};

}  // namespace cifrovar
