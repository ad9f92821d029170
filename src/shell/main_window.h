#pragma once

#include <QMainWindow>
#include <QString>
#include <functional>
#include <memory>
#include <string>

#include "engine/hooks.h"
#include "shell/window_snap.h"

class QAction;
class QActionGroup;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QStackedWidget;
class QSystemTrayIcon;
class QToolButton;

namespace cifrovar {

// The characters a user may type into an operand field.
constexpr int typed_operand_length = 9;

class Engine;
class PrivateTempFile;
class Prompts;
class TOprog;
class Tvypis;
class Tzal_adres;
class WindowHooks;
struct Configuration;

// The folders the program keeps its files in, each ending with '/'.
struct ProgramPlaces {
    std::string program_folder;    // the executable's folder: "users.cfp", single-user INI
    std::string app_data_folder;   // per-user configuration root (multi-user INI)
    std::string documents_folder;  // the working directory's fallback
};

// The main window: the toolbar, the five pages, Počítej and Výsledek, the status bar and the
// menu. It owns the calculation engine and every command. Controls carry their design names as
// object names.
class Thlavni : public QMainWindow {
    Q_OBJECT

  public:
    explicit Thlavni(Prompts& prompts, QWidget* parent = nullptr);
    ~Thlavni() override;

    Engine& engine() { return *engine_; }
    Prompts& prompts() { return prompts_; }
    Tvypis& viewer() { return *viewer_; }

    // Panel 0 of the status bar.
    QString status_text() const;
    void set_status(const QString& text);
    // The share of the work of a value computed in one go (0 to 1), or a negative one to hide
    // it; the status text meanwhile stays at the step kept.
    void show_work_share(double share);
    bool work_share_shown() const;
    int work_share_permille() const;

    void enter_ready();
    void enter_busy();
    void enter_finished();
    // Shows the page of the current calculation kind.
    void select_page();
    QLineEdit* field(Field which) const;
    // Puts a value of the program's own into an operand field whole: nine characters are what
    // a user types, but a file's operand may have ten digits.
    void show_in_field(Field which, const QString& text);

    // Renders the result and shows it in the viewer (does nothing after a failure report).
    void show_result();
    // A fatal error asks for the window to close once the running command has unwound.
    void request_close();
    // False while the controls are still being built (the engine resets itself meanwhile).
    bool built() const { return built_; }
    // True while a command (a run, a load, a display) is in progress.
    bool command_running() const { return command_depth_ > 0; }

    // The commands, as the controls trigger them.
    void tlacitkoClick();
    void b_textClick();
    void b_novyClick();
    void b_otevriClick();
    void b_ulozClick();
    void b_prerusClick();
    void u_uvodClick();
    void choose_calculation(int calc_kind);

    // The folders the calculation-file choosers open in.
    QString open_folder;
    QString save_folder;
    // Moves the initial folders of the three file choosers to a folder.
    void set_dialog_folders(const QString& folder);

    // Settings: where they live, reading them into the window and writing them from it.
    const ProgramPlaces& places() const { return places_; }
    void set_places(const ProgramPlaces& places) { places_ = places; }
    bool multi_user = false;
    std::string configuration_path() const;
    // The marks, intervals and positions of a configuration as read_configuration gives it
    // (intervals already among the menu's items); the working directory too when with_directory.
    void apply_configuration(const Configuration& config, bool with_directory);
    Configuration current_configuration() const;
    // Writes the configuration; a failure is only logged.
    void write_configuration_file();

    void uloz_nastaveniClick();
    void deleteconfClick();
    void asoc_cfrClick();
    void deasoc_cfrClick();
    void adres_pro_zalClick();
    void b_jaknatoClick();
    void Oprogramu1Click();
    void min_do_trayClick();
    void restore_from_tray();
    void second_instance();
    QSystemTrayIcon* tray() const { return trayikona_; }
    TOprog& about() { return *about_; }
    // Created on first use, with the working directory and the documents folder of that time.
    Tzal_adres& working_directory_dialog();
    bool has_working_directory_dialog() const { return zal_adres_ != nullptr; }

    // The desktop rectangle not covered by panels, read once when the window is created.
    const ScreenRect& work_area() const { return work_area_; }

  protected:
    void closeEvent(QCloseEvent* event) override;
#ifdef Q_OS_WIN
    // Snaps a dragged window to the work area; only Windows lets a program adjust a drag.
    bool nativeEvent(const QByteArray& type, void* message, qintptr* result) override;
#endif

  private:
    void build_toolbar(QWidget* client);
    void build_pages(QWidget* client);
    void build_buttons(QWidget* client);
    void build_menu();
    void build_settings_menu(QMenu* nast);
    void build_tray();
    void connect_shell_commands();
    // The private file the result is rendered into for the viewer, made for each display and
    // deleted once the viewer has mapped it.
    const std::string& result_file();
    void refresh_priority_marks();
    void choose_priority(int priority_class);
    // Runs a command through the top-level handler and closes the window afterwards when a
    // close was asked for meanwhile.
    void command(const std::function<void()>& body);
    void set_calculation_commands(bool novy, bool otevri, bool uloz, bool prerus);
    void set_field_state(Field which, bool editable, bool reset);

    Prompts& prompts_;
    // Declared before the engine, which resets itself through the hooks while it is built.
    bool built_ = false;
    std::unique_ptr<WindowHooks> hooks_;
    std::unique_ptr<Engine> engine_;
    Tvypis* viewer_ = nullptr;
    TOprog* about_ = nullptr;
    std::unique_ptr<Tzal_adres> zal_adres_;
    QSystemTrayIcon* trayikona_ = nullptr;
    ProgramPlaces places_;
    ScreenRect work_area_;
    std::unique_ptr<PrivateTempFile> result_file_;
    QString proposed_calculation_name_;
    int command_depth_ = 0;
    bool close_pending_ = false;

    QToolButton* b_novy_ = nullptr;
    QToolButton* b_otevri_ = nullptr;
    QToolButton* b_uloz_ = nullptr;
    QToolButton* b_prerus_ = nullptr;
    QToolButton* u_uvod_ = nullptr;
    QPushButton* tlacitko_ = nullptr;
    QPushButton* b_text_ = nullptr;
    QStackedWidget* stranky_ = nullptr;
    QLabel* status_panel_ = nullptr;
    QProgressBar* work_bar_ = nullptr;
    QLineEdit* fields_[7] = {};
    QAction* novy_ = nullptr;
    QAction* otevri_ = nullptr;
    QAction* uloz_ = nullptr;
    QAction* prerus_ = nullptr;
    QAction* uvod_ = nullptr;
    QAction* autotext_ = nullptr;
    QAction* nuly_na_konci_ = nullptr;
    QAction* saveconf_end_ = nullptr;
    QAction* logerrors_ = nullptr;
    QActionGroup* priority_items_ = nullptr;
};

}  // namespace cifrovar
