// The main window's ties to the desktop: the tray icon, help, the about box, a second instance,
// the file association and the working-directory dialog.
#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QProcess>
#include <QSystemTrayIcon>
#include <QToolButton>

#include "engine/engine.h"
#include "errors/input_error.h"
#include "shell/about_dialog.h"
#include "shell/command_guard.h"
#include "shell/file_association.h"
#include "shell/glyphs.h"
#include "shell/help_pages.h"
#include "shell/main_window.h"
#include "shell/prompts.h"
#include "shell/tray_tool_tip.h"
#include "shell/working_directory_dialog.h"

namespace cifrovar {

void Thlavni::connect_shell_commands() {
    const struct {
        const char* name;
        void (Thlavni::*command)();
    } commands[] = {
        {"b_jaknato", &Thlavni::b_jaknatoClick},
        {"Jaknato1", &Thlavni::b_jaknatoClick},
        {"Oprogramu1", &Thlavni::Oprogramu1Click},
        {"min_do_tray", &Thlavni::min_do_trayClick},
        {"adres_pro_zal", &Thlavni::adres_pro_zalClick},
        {"uloz_nastaveni", &Thlavni::uloz_nastaveniClick},
        {"deleteconf", &Thlavni::deleteconfClick},
        {"asoc_cfr", &Thlavni::asoc_cfrClick},
        {"deasoc_cfr", &Thlavni::deasoc_cfrClick},
    };
    for (const auto& c : commands) {
        const auto run = [this, command = c.command] {
            run_command(prompts_, [&] { (this->*command)(); });
        };
        if (auto* button = findChild<QToolButton*>(c.name)) {
            connect(button, &QToolButton::clicked, this, run);
        } else if (auto* action = findChild<QAction*>(c.name)) {
            connect(action, &QAction::triggered, this, run);
        }
    }
}

void Thlavni::build_tray() {
    trayikona_ = new QSystemTrayIcon(main_icon(), this);
    trayikona_->setObjectName("trayikona");
    trayikona_->setToolTip("Cifrovar");
    auto* popup = new QMenu(this);
    popup->setObjectName("popup");
    QAction* obnovit = popup->addAction("Obnovit");
    obnovit->setObjectName("Obnovi1");
    QAction* dalsi = popup->addAction("Spustit další instanci");
    dalsi->setObjectName("Spustitdalinstanci1");
    popup->addSeparator();
    QAction* konec = popup->addAction("Konec");
    konec->setObjectName("Konec2");
    trayikona_->setContextMenu(popup);
    connect(obnovit, &QAction::triggered, this, [this] { restore_from_tray(); });
    connect(dalsi, &QAction::triggered, this, [this] { second_instance(); });
    // Qt ends the program when its last visible window closes; the window hidden in the tray
    // is not visible, so the program ends here once the closing sequence has closed it.
    connect(konec, &QAction::triggered, this, [this] {
        if (close()) QCoreApplication::quit();
    });
    connect(trayikona_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) {
                    restore_from_tray();
                }
            });
}

void Thlavni::min_do_trayClick() {
    // Without a tray on the desktop the window minimises as usual.
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        showMinimized();
        return;
    }
    trayikona_->setToolTip(QString::fromStdString(tray_tool_tip(engine_->st)).left(62));
    trayikona_->show();
    hide();
}

void Thlavni::restore_from_tray() {
    trayikona_->hide();
    showNormal();
    raise();
    activateWindow();
}

void Thlavni::b_jaknatoClick() { open_help(); }

void Thlavni::Oprogramu1Click() { about_->exec(); }

void Thlavni::second_instance() {
    // An independent process of this same executable; a failure to start says nothing.
    QProcess::startDetached(QCoreApplication::applicationFilePath(), {});
}

void Thlavni::asoc_cfrClick() {
    if (!prompts_.confirm("Opravdu asociovat soubory *.cfr s programem Cifrovar ?")) return;
    const std::string executable = QCoreApplication::applicationFilePath().toStdString();
    if (!register_association(executable, association_places())) {
        raise_input_error("Asociování souborů *.cfr s programem Cifrovar se nepodařilo !");
    }
    prompts_.information("Asociování souborů *.cfr s programem Cifrovar bylo úspěšné");
}

void Thlavni::deasoc_cfrClick() {
    if (!prompts_.confirm_warning("Opravdu deasociovat soubory *.cfr s programem Cifrovar ?")) {
        return;
    }
    if (!unregister_association(association_places())) {
        raise_input_error("Deasociování souborů *.cfr s programem Cifrovar se nepodařilo !");
    }
    prompts_.information("Deasociování souborů *.cfr s programem Cifrovar dokončeno");
}

Tzal_adres& Thlavni::working_directory_dialog() {
    if (!zal_adres_) {
        zal_adres_ = std::make_unique<Tzal_adres>(
            engine_->settings.adresar, places_.documents_folder, prompts_,
            [this](const QString& folder) { set_dialog_folders(folder); }, this);
    }
    return *zal_adres_;
}

void Thlavni::adres_pro_zalClick() { working_directory_dialog().show_dialog(); }

}  // namespace cifrovar
