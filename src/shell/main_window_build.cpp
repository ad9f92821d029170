// Building the main window's controls and menus, with their design names, captions, hints,
// shortcuts, glyphs and places.
#include <QAction>
#include <QActionGroup>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QToolButton>
#include <algorithm>
#include <tuple>
#include <utility>

#include "engine/calc_state.h"
#include "engine/engine.h"
#include "shell/glyphs.h"
#include "shell/interval_items.h"
#include "shell/main_window.h"

namespace cifrovar {

namespace {

QToolButton* speed_button(QWidget* parent, const char* name, int left, const QString& hint,
                          const QString& glyph_name) {
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setGeometry(left, 0, 24, 24);
    button->setAutoRaise(true);
    button->setToolTip(hint);
    button->setIcon(glyph(glyph_name));
    button->setIconSize(QSize(20, 20));
    return button;
}

QPushButton* page_button(QWidget* page, const char* name, const QString& caption, int left, int top,
                         const QString& hint) {
    auto* button = new QPushButton(caption, page);
    button->setObjectName(name);
    button->setGeometry(left, top, 81, 25);
    button->setToolTip(hint);
    return button;
}

QLabel* label(QWidget* page, const QString& text, int left, int top, const QFont& font) {
    auto* l = new QLabel(text, page);
    l->setFont(font);
    l->move(left, top);
    l->adjustSize();
    return l;
}

QFont title_font() {
    QFont f(QStringLiteral("Tahoma"));
    f.setPixelSize(19);
    f.setBold(true);
    return f;
}

QFont operator_font(int pixels) {
    QFont f;
    f.setPixelSize(pixels);
    f.setBold(true);
    return f;
}

// A line edit that measures the room nine typed digits need in the font it shows them in.
class OperandEdit : public QLineEdit {
  public:
    using QLineEdit::QLineEdit;

    // The digits, one pixel after them for the cursor (a line edit scrolls a text that leaves
    // it none), the 2 pixels the line edit keeps on either side of its text and its text
    // margins, and around all that the frame its style draws.
    int nine_digit_width() const {
        const QMargins margins = textMargins();
        const int text = fontMetrics().horizontalAdvance(QStringLiteral("999999999")) + 1 + 2 * 2 +
                         margins.left() + margins.right();
        QStyleOptionFrame option;
        initStyleOption(&option);
        return style()
            ->sizeFromContents(QStyle::CT_LineEdit, &option, QSize(text, height()), this)
            .width();
    }
};

// An operand edit at its design place, as wide as the design or as nine digits need. The page
// must already be in the window, so that the edit has the window's font.
QLineEdit* operand_edit(QWidget* page, const char* name, int left, int top) {
    auto* edit = new OperandEdit(QStringLiteral("0"), page);
    edit->setObjectName(name);
    edit->setGeometry(left, top, 65, 21);
    edit->resize(std::max(edit->width(), edit->nine_digit_width()), edit->height());
    edit->setMaxLength(typed_operand_length);
    // A longer value the program showed stands whole until the user's edits bring the text
    // within what may be typed.
    QObject::connect(edit, &QLineEdit::textEdited, edit, [edit](const QString& text) {
        if (text.size() <= typed_operand_length) edit->setMaxLength(typed_operand_length);
    });
    return edit;
}

// The two operands of a page with an operator between them: the left edit ends and the right one
// starts where the design has them, so that both grow outwards from the operator; the captions
// stand under the edits' left edges.
std::pair<QLineEdit*, QLineEdit*> operand_pair(QWidget* page, const char* left_name,
                                               const char* right_name, const QString& left_caption,
                                               const QString& right_caption, const QFont& font) {
    QLineEdit* left = operand_edit(page, left_name, 17, 24);
    left->move(82 - left->width(), left->y());
    QLineEdit* right = operand_edit(page, right_name, 111, 24);
    label(page, left_caption, left->x(), 47, font);
    label(page, right_caption, right->x(), 47, font);
    return {left, right};
}

// An operator is drawn large, and its label reaches above the glyph: the label starts below the
// page's title at the lowest.
int below(const QLabel* title, int top) { return std::max(top, title->geometry().bottom() + 1); }

QAction* item(QMenu* menu, const char* name, const QString& caption,
              const QKeySequence& shortcut = {}) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(name);
    if (!shortcut.isEmpty()) action->setShortcut(shortcut);
    return action;
}

QAction* toggle(QMenu* menu, const char* name, const QString& caption, bool checked) {
    QAction* action = item(menu, name, caption);
    action->setCheckable(true);
    action->setChecked(checked);
    return action;
}

}  // namespace

void Thlavni::build_toolbar(QWidget* client) {
    b_novy_ = speed_button(client, "b_novy", 0, "Nový výpočet", "novy");
    b_otevri_ = speed_button(client, "b_otevri", 24, "Otevřít soubor s výpočtem", "otevri");
    b_uloz_ = speed_button(client, "b_uloz", 48, "Uložit výpočet do souboru", "uloz");
    b_prerus_ = speed_button(client, "b_prerus", 80, "Přerušit výpočet", "prerus");
    speed_button(client, "b_jaknato", 112, "Nápověda", "napoveda");
    u_uvod_ = speed_button(client, "u_uvod", 136, "Úvodní obrazovka", "cfr");
    speed_button(client, "min_do_tray", 176, "Minimalizovat do trayikony", "do_tray");
    b_novy_->setEnabled(false);
    b_uloz_->setEnabled(false);
    b_prerus_->setEnabled(false);
    u_uvod_->setEnabled(false);
    connect(b_novy_, &QToolButton::clicked, this, [this] { b_novyClick(); });
    connect(b_otevri_, &QToolButton::clicked, this, [this] { b_otevriClick(); });
    connect(b_uloz_, &QToolButton::clicked, this, [this] { b_ulozClick(); });
    connect(b_prerus_, &QToolButton::clicked, this, [this] { b_prerusClick(); });
    connect(u_uvod_, &QToolButton::clicked, this, [this] { u_uvodClick(); });
}

void Thlavni::build_pages(QWidget* client) {
    stranky_ = new QStackedWidget(client);
    stranky_->setObjectName("stranky");
    stranky_->setGeometry(0, 32, 201, 73);
    const QFont small = font();

    auto* ulohy = new QWidget;
    ulohy->setObjectName("ulohy");
    const struct {
        const char* name;
        const char* caption;
        int left, top;
        const char* hint;
        int calc_kind;
    } choices[] = {
        {"u_mocniny", "&Mocniny", 16, 8, "Přepne na výpočet mocnin", kind::powers},
        {"u_faktorial", "&Faktoriál", 16, 32, "Přepne na výpočet faktoriálu", kind::factorial},
        {"u_variace", "&Variace", 96, 8, "Přepne na výpočet variací", kind::variations},
        {"u_kombinace", "&Kombinace", 96, 32, "Přepne na výpočet kombinací", kind::combinations},
    };
    for (const auto& c : choices) {
        QPushButton* b = page_button(ulohy, c.name, QString::fromUtf8(c.caption), c.left, c.top,
                                     QString::fromUtf8(c.hint));
        const int k = c.calc_kind;
        connect(b, &QPushButton::clicked, this, [this, k] { choose_calculation(k); });
    }
    stranky_->addWidget(ulohy);

    // The pages with operands are made inside the stack, so that their edits measure in the
    // window's font.
    auto* mocniny = new QWidget(stranky_);
    mocniny->setObjectName("s_mocniny");
    const QLabel* power_title = label(mocniny, "Mocniny", 56, 0, title_font());
    std::tie(fields_[int(Field::moc_zaklad)], fields_[int(Field::moc_exponent)]) =
        operand_pair(mocniny, "moc_zaklad", "moc_exponent", "základ", "exponent", small);
    label(mocniny, "^", 91, below(power_title, 20), operator_font(23));
    stranky_->addWidget(mocniny);

    auto* faktorial = new QWidget(stranky_);
    faktorial->setObjectName("s_faktorial");
    const QLabel* factorial_title = label(faktorial, "Faktoriál", 56, 0, title_font());
    QLineEdit* n = operand_edit(faktorial, "fkt_zadani", 56, 34);
    fields_[int(Field::fkt_zadani)] = n;
    label(faktorial, "!", n->x() + n->width() + 4, below(factorial_title, 30), operator_font(27));
    stranky_->addWidget(faktorial);

    const struct {
        const char* page;
        const char* title;
        int title_left;
        Field k, n;
        const char* k_name;
        const char* n_name;
    } selections[] = {
        {"s_variace", "Variace", 56, Field::vrc_trida, Field::vrc_prvky, "vrc_trida", "vrc_prvky"},
        {"s_kombinace", "Kombinace", 48, Field::kmb_trida, Field::kmb_prvky, "kmb_trida",
         "kmb_prvky"},
    };
    for (const auto& s : selections) {
        auto* page = new QWidget(stranky_);
        page->setObjectName(s.page);
        const QLabel* title = label(page, s.title, s.title_left, 0, title_font());
        std::tie(fields_[int(s.k)], fields_[int(s.n)]) =
            operand_pair(page, s.k_name, s.n_name, "třídy", "prvků", small);
        label(page, ". ", 85, below(title, 22), operator_font(23));
        label(page, "z", 96, 27, small);
        stranky_->addWidget(page);
    }
}

void Thlavni::build_buttons(QWidget* client) {
    tlacitko_ = new QPushButton("P&očítej ", client);
    tlacitko_->setObjectName("tlacitko");
    tlacitko_->setGeometry(18, 106, 78, 25);
    tlacitko_->setToolTip("Provede se požadovaný výpočet");
    tlacitko_->setIcon(glyph("vypocet"));
    tlacitko_->hide();
    b_text_ = new QPushButton("Vý&sledek", client);
    b_text_->setObjectName("b_text");
    b_text_->setGeometry(108, 106, 78, 25);
    b_text_->setToolTip("Zobrazí se výsledek");
    b_text_->setIcon(glyph("text"));
    b_text_->setEnabled(false);
    b_text_->hide();
    connect(tlacitko_, &QPushButton::clicked, this, [this] { tlacitkoClick(); });
    connect(b_text_, &QPushButton::clicked, this, [this] { b_textClick(); });
}

void Thlavni::build_menu() {
    QMenuBar* bar = menuBar();
    bar->setObjectName("hlavni_menu");
    QMenu* vyp = bar->addMenu("Vý&počet");
    vyp->setObjectName("vyp");
    novy_ = item(vyp, "novy", "Nový ", QKeySequence("Ctrl+N"));
    otevri_ = item(vyp, "otevri", "Otevřít", QKeySequence("Ctrl+O"));
    uloz_ = item(vyp, "uloz", "Uložit", QKeySequence("Ctrl+U"));
    prerus_ = item(vyp, "prerus", "Přerušit", QKeySequence("Ctrl+P"));
    vyp->addSeparator()->setObjectName("N2");
    uvod_ = item(vyp, "uvod", "Úvo&d", QKeySequence("Ctrl+D"));
    QAction* konec = item(vyp, "Konec1", "Konec ", QKeySequence("Ctrl+K"));
    novy_->setEnabled(false);
    uloz_->setEnabled(false);
    prerus_->setEnabled(false);
    uvod_->setEnabled(false);
    connect(novy_, &QAction::triggered, this, [this] { b_novyClick(); });
    connect(otevri_, &QAction::triggered, this, [this] { b_otevriClick(); });
    connect(uloz_, &QAction::triggered, this, [this] { b_ulozClick(); });
    connect(prerus_, &QAction::triggered, this, [this] { b_prerusClick(); });
    connect(uvod_, &QAction::triggered, this, [this] { u_uvodClick(); });
    connect(konec, &QAction::triggered, this, &QWidget::close);

    QMenu* nast = bar->addMenu("Nastavení");
    nast->setObjectName("nast");
    build_settings_menu(nast);

    QMenu* napo = bar->addMenu("Nápověda");
    napo->setObjectName("napo");
    item(napo, "Jaknato1", "Témata nápovědy", QKeySequence(Qt::Key_F1));
    item(napo, "Oprogramu1", "O programu Cifrovar");
}

void Thlavni::build_settings_menu(QMenu* nast) {
    RunSettings& settings = engine_->settings;
    autotext_ = toggle(nast, "autotext", "Výsledek &automaticky ", settings.autotext);
    nuly_na_konci_ =
        toggle(nast, "nuly_na_konci", "Krátit nuly na konci výsledku", settings.nuly_na_konci);
    connect(autotext_, &QAction::toggled, this,
            [this](bool on) { engine_->settings.autotext = on; });
    connect(nuly_na_konci_, &QAction::toggled, this,
            [this](bool on) { engine_->settings.nuly_na_konci = on; });
    nast->addSeparator()->setObjectName("N3");
    add_interval_items(nast, "po_exp", "Stav výpočtu", progress_intervals, settings.ukaz_stav);
    add_interval_items(nast, "po_zal", "Zálohování", backup_intervals, settings.zalohy);
    item(nast, "adres_pro_zal", "Pracovní adresář ...");
    nast->addSeparator()->setObjectName("N7");

    // The marks start at the configuration's defaults.
    QMenu* dalsi = nast->addMenu("Další");
    dalsi->setObjectName("Dalnastaven1");
    saveconf_end_ = toggle(dalsi, "saveconf_end", "Ukládat konfiguraci při ukončení", true);
    logerrors_ = toggle(dalsi, "logerrors", "Logovat chyby", false);
    QMenu* priorita = dalsi->addMenu("Priorita procesu");
    priorita->setObjectName("Priorita1");
    priority_items_ = new QActionGroup(this);
    const struct {
        const char* name;
        const char* caption;
        int priority_class;
    } priorities[] = {
        {"pr25", "Realný čas", 256}, {"pr2", "Vysoká", 128},         {"pr15", "Nadprůměrná", 32768},
        {"pr1", "Normální", 32},     {"pr05", "Podprůměrná", 16384}, {"pr0", "Nízká", 64},
    };
    for (const auto& p : priorities) {
        QAction* a = item(priorita, p.name, QString::fromUtf8(p.caption));
        a->setCheckable(true);
        a->setData(p.priority_class);
        priority_items_->addAction(a);
        const int c = p.priority_class;
        // The mark follows the class really in force, read when the menu opens.
        connect(a, &QAction::triggered, this, [this, c] { choose_priority(c); });
    }
    // Radio items; none is checked when the class in force is none of the six.
    priority_items_->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    dalsi->addSeparator()->setObjectName("N1");
    item(dalsi, "deleteconf", "Odstranit konfiguraci ...");
    item(dalsi, "asoc_cfr", "Asociovat soubory *.cfr s programem ...");
    item(dalsi, "deasoc_cfr", "Deasociovat soubory *.cfr s programem ...");
    item(nast, "uloz_nastaveni", "Uložit nastavení");
    connect(nast, &QMenu::aboutToShow, this, [this] { refresh_priority_marks(); });
}

}  // namespace cifrovar
