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
    FileAnswer open_file(const FileChoice& choice) override;
    FileAnswer save_file(const FileChoice& choice) override;
};

}  // namespace cifrovar
