#include "viewer/result_viewer.h"

#include <QAction>
#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <algorithm>

#include "engine/engine.h"
#include "errors/input_error.h"
#include "files/default_name.h"
#include "output/render_result.h"
#include "shell/calculation_dialogs.h"
#include "shell/command_guard.h"
#include "shell/glyphs.h"
#include "shell/prompts.h"
#include "viewer/digit_view.h"

namespace cifrovar {

namespace {

// The box of the wrap width takes every width typed, key by key, and brings it into the range
// when it is used: a spin box refuses the keys that would leave its range, so that 600 could
// not be typed (it stayed 60) and a typed 0 was dropped for the previous width.
class WrapWidthBox : public QSpinBox {
  protected:
    QValidator::State validate(QString& text, int&) const override {
        if (text.isEmpty()) return QValidator::Intermediate;
        bool number = false;
        text.toInt(&number);
        return number && text.size() <= 4 ? QValidator::Acceptable : QValidator::Invalid;
    }
    int valueFromText(const QString& text) const override {
        return std::clamp(text.toInt(), minimum(), maximum());
    }
};

QLineEdit* read_only_edit(const char* name) {
    auto* edit = new QLineEdit;
    edit->setObjectName(name);
    edit->setReadOnly(true);
    return edit;
}

QLabel* named_label(const char* name, const QString& text) {
    auto* label = new QLabel(text);
    label->setObjectName(name);
    return label;
}

}  // namespace

Tvypis::Tvypis(Engine& engine, Prompts& prompts, QWidget* parent)
    : QDialog(parent), engine_(engine), prompts_(prompts) {
    setObjectName("vypis");
    setWindowTitle("Výpis výsledků");
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    setModal(true);
    setMinimumSize(ViewerSettings::design_width, ViewerSettings::design_height);
    build();
    apply_settings(ViewerSettings{});
}

void Tvypis::build() {
    auto* grid = new QGridLayout(this);
    grid->addWidget(named_label("v_vypocet", "Výpočet:"), 0, 0);
    ed_vypocet_ = read_only_edit("ed_vypocet");
    grid->addWidget(ed_vypocet_, 0, 1);

    grid->addWidget(named_label("v_cifry", "Počet číslic"), 1, 0);
    ed_cifry_ = read_only_edit("ed_cifry");
    grid->addWidget(ed_cifry_, 1, 1);

    // The wrap controls of the saved file: "Řádky zalamovat po [80] znacích".
    const QString wrap_hint =
        "Řádky ve výsledném souboru se budou zalomovat po určeném počtu znaků";
    auto* wrap_row = new QHBoxLayout;
    zalom_button_ = new QCheckBox("Řádky zalamovat");
    zalom_button_->setObjectName("zalom_button");
    zalom_button_->setToolTip(
        "Řádky ve výsledném souboru se budou zalamovat po určeném počtu znaků");
    wrap_row->addWidget(zalom_button_);
    QLabel* po = named_label("Label1", "po");
    po->setToolTip(wrap_hint);
    wrap_row->addWidget(po);
    zalom_po_ = new WrapWidthBox;
    zalom_po_->setObjectName("zalom_po");
    zalom_po_->setRange(ViewerSettings::min_wrap, ViewerSettings::max_wrap);
    zalom_po_->setValue(80);
    zalom_po_->setToolTip(wrap_hint);
    zalom_po_->setEnabled(false);
    wrap_row->addWidget(zalom_po_);
    QLabel* znacich = named_label("Label2", "znacích");
    znacich->setToolTip(wrap_hint);
    wrap_row->addWidget(znacich);
    wrap_row->addStretch(1);
    grid->addLayout(wrap_row, 2, 0, 1, 2);
    connect(zalom_button_, &QCheckBox::toggled, zalom_po_, &QWidget::setEnabled);

    vysledovka_ = new DigitView;
    vysledovka_->setObjectName("vysledovka");
    vysledovka_->setContextMenuPolicy(Qt::CustomContextMenu);
    grid->addWidget(vysledovka_, 3, 0, 1, 2);
    grid->setRowStretch(3, 1);
    grid->setColumnStretch(1, 1);

    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    hlava_vypis_ = new QCheckBox("Uložit s hlavičkou");
    hlava_vypis_->setObjectName("hlava_vypis");
    hlava_vypis_->setLayoutDirection(Qt::RightToLeft);
    hlava_vypis_->setToolTip("Před výsledek vloží \"Výpočet\" a \"Počet číslic\"");
    bottom->addWidget(hlava_vypis_);
    b_uloztext_ = new QPushButton(glyph("uloz"), "&Uložit");
    b_uloztext_->setObjectName("b_uloztext");
    b_uloztext_->setToolTip("Uloží výsledek jako textový soubor");
    b_uloztext_->setAutoDefault(false);
    bottom->addWidget(b_uloztext_);
    auto* zavri = new QPushButton("&Zavřít");
    zavri->setObjectName("zavri");
    zavri->setToolTip("Zavře okno výpisu");
    zavri->setAutoDefault(false);
    bottom->addWidget(zavri);
    grid->addLayout(bottom, 4, 0, 1, 2);
    connect(b_uloztext_, &QPushButton::clicked, this,
            [this] { run_command(prompts_, [this] { b_uloztextClick(); }); });
    connect(zavri, &QPushButton::clicked, this, &QDialog::accept);

    copy_all_ = new QMenu(this);
    copy_all_->setObjectName("copy_all");
    copy_ = copy_all_->addAction("Kopírovat");
    copy_->setObjectName("copy");
    copy_->setShortcut(QKeySequence("Ctrl+C"));
    copy_->setEnabled(false);
    all_ = copy_all_->addAction("Vybrat vše");
    all_->setObjectName("all");
    all_->setShortcut(QKeySequence("Ctrl+A"));
    // The shortcuts work while the viewer has the focus, not only from the open menu.
    for (QAction* a : {copy_, all_}) {
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        addAction(a);
    }
    connect(copy_, &QAction::triggered, vysledovka_, &DigitView::copy);
    connect(all_, &QAction::triggered, vysledovka_, &DigitView::select_all);
    connect(vysledovka_, &DigitView::selection_changed, this, [this] { refresh_copy_all(); });
    connect(vysledovka_, &DigitView::load_failed, this, [this] { loading_failed(); });
    connect(copy_all_, &QMenu::aboutToShow, this, [this] { refresh_copy_all(); });
    connect(vysledovka_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { copy_all_->popup(vysledovka_->mapToGlobal(at)); });
}

void Tvypis::refresh_copy_all() {
    copy_->setEnabled(vysledovka_->selection_length() >= 1);
    all_->setEnabled(vysledovka_->selection_length() < vysledovka_->text_length());
}

QMenu* Tvypis::copy_all_menu() {
    refresh_copy_all();
    return copy_all_;
}

// A read that failed while the view was still indexing the text ends as a failed load ends:
// reported and told, and the viewer closed.
void Tvypis::loading_failed() {
    engine_.report_error("Výsledek nelze rozbrazit" + ed_vypocet_->text().toStdString());
    run_command(prompts_, [] {
        raise_input_error("Výsledek nelze rozbrazit, zkuste znovu stisknout tlačítko Počítej");
    });
    if (isVisible()) reject();
}

bool Tvypis::load(const QString& path, const QString& description, qint64 digit_count) {
    vysledovka_->clear();
    if (!description.isEmpty()) ed_vypocet_->setText(description);
    ed_cifry_->setText(QString::number(digit_count));
    const bool loaded = vysledovka_->load_file(path);
    refresh_copy_all();
    return loaded;
}

void Tvypis::apply_settings(const ViewerSettings& s) {
    const QRect screen = QGuiApplication::primaryScreen()
                             ? QGuiApplication::primaryScreen()->geometry()
                             : QRect(0, 0, 1024, 768);
    const int width = std::max(s.width, ViewerSettings::design_width);
    const int height = std::max(s.height, ViewerSettings::design_height);
    const int left = s.left.value_or(screen.width() / 2 - width / 2);
    const int top = s.top.value_or(screen.height() / 2 - height / 2);
    setGeometry(left, top, width, height);
    zalom_button_->setChecked(s.zalamovat);
    zalom_po_->setEnabled(s.zalamovat);
    zalom_po_->setValue(
        std::clamp(s.zalomit_po, ViewerSettings::min_wrap, ViewerSettings::max_wrap));
    hlava_vypis_->setChecked(s.hlavicka_vysledku);
    if (s.maximized) {
        setWindowState(windowState() | Qt::WindowMaximized);
    } else {
        setWindowState(windowState() & ~Qt::WindowMaximized);
    }
}

ViewerSettings Tvypis::settings() const {
    ViewerSettings s;
    const QRect normal = isMaximized() ? normalGeometry() : geometry();
    s.left = normal.left();
    s.top = normal.top();
    s.width = normal.width();
    s.height = normal.height();
    s.maximized = isMaximized();
    s.zalamovat = zalom_button_->isChecked();
    s.zalomit_po = zalom_po_->value();
    s.hlavicka_vysledku = hlava_vypis_->isChecked();
    return s;
}

void Tvypis::b_uloztextClick() {
    if (const std::optional<std::string> name = default_file_name(engine_.st)) {
        proposed_name_ = QString::fromStdString(*name);
    }
    // The width typed counts even while the box still has the focus (Alt+U).
    zalom_po_->interpretText();
    const FileAnswer chosen = prompts_.save_file(save_text_choice(save_folder, proposed_name_));
    // A cancelled chooser reopens where the user left it.
    if (!chosen.file) {
        save_folder = chosen.folder;
        return;
    }
    const QString path = with_default_suffix(*chosen.file, "txt");
    const int wrap = zalom_button_->isChecked() ? zalom_po_->value() : 0;
    render_result(engine_, path.toStdString(), hlava_vypis_->isChecked(), wrap);
    save_folder = folder_of(path);
}

void Tvypis::showEvent(QShowEvent* event) {
    active_ = true;
    QDialog::showEvent(event);
}

void Tvypis::done(int result) {
    active_ = false;
    // The text is not shown again before the next load replaces it.
    vysledovka_->stop_indexing();
    QDialog::done(result);
}

void Tvypis::changeEvent(QEvent* event) {
    // Minimising the modal viewer minimises the whole program instead.
    if (event->type() == QEvent::WindowStateChange && isMinimized() && parentWidget()) {
        parentWidget()->window()->showMinimized();
    }
    QDialog::changeEvent(event);
}

}  // namespace cifrovar
