#include "shell/main_window.h"

#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <optional>
#include <string>

#include "engine/engine.h"
#include "engine/run_memory.h"
#include "errors/input_error.h"
#include "output/private_temp_file.h"
#include "shell/about_dialog.h"
#include "shell/command_guard.h"
#include "shell/glyphs.h"
#include "shell/platform_folders.h"
#include "shell/process_priority.h"
#include "shell/prompts.h"
#include "shell/tray_tool_tip.h"
#include "shell/window_hooks.h"
#include "shell/working_directory_dialog.h"
#include "viewer/result_viewer.h"

namespace cifrovar {

namespace {

// Backups and the error log need a folder before the working directory is configured.
std::string initial_working_directory() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QDir(folder).exists()) folder = QDir::homePath();
    return QDir::toNativeSeparators(folder).toStdString();
}

}  // namespace

Thlavni::Thlavni(Prompts& prompts, QWidget* parent)
    : QMainWindow(parent),
      prompts_(prompts),
      hooks_(std::make_unique<WindowHooks>(*this)),
      engine_(std::make_unique<Engine>(*hooks_)) {
    setObjectName("hlavni");
    setWindowTitle("Cifrovar v" CIFROVAR_VERSION);
    setWindowIcon(main_icon());
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    QFont window_font = font();
    window_font.setPixelSize(11);
    setFont(window_font);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        work_area_ = {area.left(), area.top(), area.left() + area.width(),
                      area.top() + area.height()};
    }
    engine_->settings.adresar = initial_working_directory();
    open_folder = save_folder = QString::fromStdString(engine_->settings.adresar);

    // The client area is 203 x 160: the controls above a status bar of 17 pixels.
    auto* client = new QWidget(this);
    client->setFixedSize(203, 143);
    setCentralWidget(client);
    build_toolbar(client);
    build_pages(client);
    build_buttons(client);
    build_menu();
    connect(logerrors_, &QAction::toggled, this, [this](bool on) { hooks_->log_errors = on; });
    status_panel_ = new QLabel("Připraven k výpočtu");
    statusBar()->setObjectName("stavovyradek");
    statusBar()->setFixedHeight(17);
    statusBar()->setSizeGripEnabled(false);
    statusBar()->addWidget(status_panel_, 1);
    // A thin bar beside the step kept shows that a value computed in one go is on its way.
    work_bar_ = new QProgressBar;
    work_bar_->setObjectName("prubeh");
    work_bar_->setRange(0, 1000);
    work_bar_->setTextVisible(false);
    work_bar_->setFixedSize(60, 6);
    work_bar_->hide();
    statusBar()->addPermanentWidget(work_bar_);
    setFixedSize(sizeHint());

    viewer_ = new Tvypis(*engine_, prompts_, this);
    about_ = new TOprog(this);
    build_tray();
    connect_shell_commands();
    places_ = {program_folder(), app_data_folder(), documents_folder()};
    built_ = true;
    engine_->new_calculation();
    select_page();
}

Thlavni::~Thlavni() = default;

QString Thlavni::status_text() const { return status_panel_->text(); }

void Thlavni::set_status(const QString& text) {
    status_panel_->setText(text);
    // The tray's tool tip follows the run while the window waits there.
    if (trayikona_->isVisible()) {
        trayikona_->setToolTip(QString::fromStdString(tray_tool_tip(engine_->st)).left(62));
    }
}

void Thlavni::show_work_share(double share) {
    if (share < 0) {
        work_bar_->hide();
        return;
    }
    work_bar_->setValue(static_cast<int>(share * 1000));
    work_bar_->show();
}

bool Thlavni::work_share_shown() const { return work_bar_->isVisible(); }

int Thlavni::work_share_permille() const { return work_bar_->value(); }

QLineEdit* Thlavni::field(Field which) const { return fields_[static_cast<int>(which)]; }

void Thlavni::show_in_field(Field which, const QString& text) {
    QLineEdit* edit = field(which);
    edit->setMaxLength(std::max<int>(typed_operand_length, static_cast<int>(text.size())));
    edit->setText(text);
}

void Thlavni::set_calculation_commands(bool novy, bool otevri, bool uloz, bool prerus) {
    b_novy_->setEnabled(novy);
    novy_->setEnabled(novy);
    b_otevri_->setEnabled(otevri);
    otevri_->setEnabled(otevri);
    b_uloz_->setEnabled(uloz);
    uloz_->setEnabled(uloz);
    b_prerus_->setEnabled(prerus);
    prerus_->setEnabled(prerus);
}

void Thlavni::set_field_state(Field which, bool editable, bool reset) {
    QLineEdit* edit = field(which);
    if (reset) show_in_field(which, "0");
    edit->setReadOnly(!editable);
}

void Thlavni::enter_ready() {
    work_bar_->hide();
    tlacitko_->setEnabled(true);
    b_text_->setEnabled(false);
    set_calculation_commands(false, true, false, false);
    for (int f = 0; f < 7; ++f) set_field_state(static_cast<Field>(f), true, true);
    set_status("Připraven k výpočtu");
}

void Thlavni::enter_busy() {
    tlacitko_->setEnabled(false);
    b_text_->setEnabled(false);
    set_calculation_commands(false, false, false, true);
    u_uvod_->setEnabled(false);
    uvod_->setEnabled(false);
    for (int f = 0; f < 7; ++f) set_field_state(static_cast<Field>(f), false, false);
}

void Thlavni::enter_finished() {
    work_bar_->hide();
    tlacitko_->setEnabled(true);
    b_text_->setEnabled(true);
    set_calculation_commands(true, true, true, false);
    u_uvod_->setEnabled(true);
    uvod_->setEnabled(true);
    // Only the targets can be raised: the base and the numbers of elements belong to the
    // calculation that a further run continues.
    for (Field target :
         {Field::moc_exponent, Field::fkt_zadani, Field::vrc_trida, Field::kmb_trida}) {
        set_field_state(target, true, false);
    }
    // A run that ends while the program waits in the tray or minimised brings the window back.
    if (trayikona_->isVisible()) {
        restore_from_tray();
    } else if (isMinimized()) {
        showNormal();
    }
    set_status("Výpočet ukončen");
}

void Thlavni::select_page() {
    const int k = engine_->st.calc_kind;
    const bool input_page = k > 0;
    u_uvod_->setEnabled(input_page);
    uvod_->setEnabled(input_page);
    tlacitko_->setVisible(input_page);
    b_text_->setVisible(input_page);
    if (k >= 0 && k < stranky_->count()) stranky_->setCurrentIndex(k);
}

void Thlavni::choose_calculation(int calc_kind) {
    engine_->st.calc_kind = calc_kind;
    select_page();
}

void Thlavni::command(const std::function<void()>& body) {
    ++command_depth_;
    run_command(prompts_, body);
    --command_depth_;
    if (command_depth_ == 0 && close_pending_) QTimer::singleShot(0, this, &QWidget::close);
}

void Thlavni::tlacitkoClick() {
    command([this] {
        // Reckoned before the run, which puts the fields back when it refuses to start. Fields
        // that a run refuses are reported by the run itself.
        std::optional<RunSize> size;
        try {
            size = estimated_run_size(*engine_);
        } catch (const std::exception&) {
        }
        try {
            engine_->run();
        } catch (const Evlastni& e) {
            // A run refused for lack of memory says below the message what it would need.
            const std::string message = e.what();
            if (message != memory_message || !size || size->bytes <= size->available) throw;
            prompts_.error(
                QString::fromStdString(shown_message(message) + "\n" + refusal_figures(*size)));
        }
    });
}

void Thlavni::b_textClick() {
    command([this] { show_result(); });
}

void Thlavni::b_novyClick() {
    command([this] { engine_->new_calculation(); });
}

void Thlavni::b_prerusClick() { engine_->interrupt(); }

void Thlavni::u_uvodClick() {
    command([this] {
        engine_->st.calc_kind = kind::start_page;
        engine_->new_calculation();
        select_page();
    });
}

void Thlavni::request_close() {
    close_pending_ = true;
    engine_->interrupt();
    if (command_depth_ == 0) QTimer::singleShot(0, this, &QWidget::close);
}

void Thlavni::closeEvent(QCloseEvent* event) {
    // A running command first ends at its next step boundary; the window closes after it.
    if (command_depth_ > 0) {
        close_pending_ = true;
        engine_->interrupt();
        event->ignore();
        return;
    }
    viewer_->close();
    if (saveconf_end_->isChecked()) write_configuration_file();
    trayikona_->hide();
    event->accept();
}

void Thlavni::refresh_priority_marks() {
    const std::optional<int> current = current_priority_class();
    for (QAction* a : priority_items_->actions()) {
        a->setChecked(current && a->data().toInt() == *current);
    }
}

void Thlavni::choose_priority(int priority_class) {
    if (!set_priority_class(priority_class)) {
        prompts_.error("Prioritu procesu se nepodařilo nastavit");
    }
    // The group checks what was clicked; the marks show only what is in force.
    refresh_priority_marks();
}

}  // namespace cifrovar
