#pragma once

#include <QDialog>

namespace cifrovar {

// "O programu Cifrovar": the program's name, version and purpose, a credit with a mail link, the
// thanks to the testers (a help page) and a link to the project page.
class TOprog : public QDialog {
    Q_OBJECT

  public:
    explicit TOprog(QWidget* parent = nullptr);

    // Where the links lead.
    static constexpr const char* mail_link =
        "mailto:cifrovar@example.org?subject=Cifrovar%201.5%20beta1";
};

}  // namespace cifrovar
