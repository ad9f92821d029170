#include "shell/about_dialog.h"

#include <QDesktopServices>
#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "shell/glyphs.h"
#include "shell/help_pages.h"

namespace cifrovar {

namespace {

QLabel* text_label(const char* name, const QString& text) {
    auto* label = new QLabel(text);
    label->setObjectName(name);
    return label;
}

QFont times(int pixels) {
    QFont f(QStringLiteral("Times New Roman"));
    f.setPixelSize(pixels);
    f.setBold(true);
    return f;
}

// A blue link that turns red under the mouse; clicking runs open.
class LinkLabel : public QLabel {
  public:
    LinkLabel(const char* name, const QString& text, std::function<void()> open)
        : QLabel(text), open_(std::move(open)) {
        setObjectName(name);
        setCursor(Qt::PointingHandCursor);
        colour(Qt::blue);
    }

  protected:
    void enterEvent(QEnterEvent*) override { colour(Qt::red); }
    void leaveEvent(QEvent*) override { colour(Qt::blue); }
    void mouseReleaseEvent(QMouseEvent*) override { open_(); }

  private:
    void colour(Qt::GlobalColor c) {
        QPalette p = palette();
        p.setColor(QPalette::WindowText, c);
        setPalette(p);
    }
    std::function<void()> open_;
};

}  // namespace

TOprog::TOprog(QWidget* parent) : QDialog(parent) {
    setObjectName("Oprog");
    setWindowTitle("O programu Cifrovar");
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setModal(true);
    auto* column = new QVBoxLayout(this);
    auto* head = new QHBoxLayout;
    QLabel* ikonka = text_label("ikonka", QString());
    ikonka->setPixmap(main_icon().pixmap(33, 33));
    head->addWidget(ikonka);
    QLabel* nazev1 = text_label("nazev1", "Cifrovar");
    nazev1->setFont(times(27));
    head->addWidget(nazev1);
    head->addStretch(1);
    column->addLayout(head);
    column->addWidget(text_label("nazev2", "verze 1.5 beta1 (16.2.2004)"));
    column->addWidget(text_label("popis1", "Program pro extrémní výpočty"));
    column->addWidget(text_label("popis2", "mocnin, faktoriálů, variací a kombinací"));
    auto* credit = new LinkLabel("autor", "Vytvořili autoři programu Cifrovar",
                                 [] { QDesktopServices::openUrl(QUrl(mail_link)); });
    credit->setFont(times(16));
    column->addWidget(credit);
    auto* thanks = new QHBoxLayout;
    thanks->addWidget(text_label("Label1", "Poděkování "));
    thanks->addWidget(new LinkLabel("betatester", "betatesterům", [] { open_help("beta.htm"); }));
    thanks->addStretch(1);
    column->addLayout(thanks);
    auto* web = new LinkLabel("web", "Stránka projektu Cifrovar", [] { open_help("index.htm"); });
    web->setToolTip("Na mých webových stránkách si můžete stáhnout aktuální verze mých programů");
    column->addWidget(web);
    auto* close = new QPushButton("&Zavřít");
    close->setObjectName("OKbutton");
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    column->addWidget(close, 0, Qt::AlignRight);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace cifrovar
