#include "shell/working_directory_dialog.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStorageInfo>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>
#include <utility>

#include "errors/input_error.h"
#include "shell/command_guard.h"
#include "shell/prompts.h"
#include "shell/write_test.h"

namespace cifrovar {

namespace {

// The absolute, cleaned form of a folder; "" is the current directory.
QString absolute_folder(const QString& folder) {
    if (folder.isEmpty()) return QDir::currentPath();
    return QDir::cleanPath(QDir::current().absoluteFilePath(folder));
}

bool can_enter(const QString& path) {
    const QFileInfo info(path);
    return !path.isEmpty() && info.isDir() && info.isReadable() && info.isExecutable();
}

bool holds(const QString& root, const QString& path) {
    if (root == "/") return path.startsWith('/');
    return path == root || path.startsWith(root + '/');
}

std::string setting_of(const QString& folder) {
    return QDir::toNativeSeparators(folder).toStdString();
}

}  // namespace

Tzal_adres::Tzal_adres(std::string& adresar, std::string documents, Prompts& prompts,
                       std::function<void(const QString&)> set_dialog_folders, QWidget* parent)
    : QDialog(parent),
      adresar_(adresar),
      documents_(QString::fromStdString(documents)),
      prompts_(prompts),
      set_dialog_folders_(std::move(set_dialog_folders)) {
    setObjectName("zal_adres");
    setWindowTitle("Pracovní adresář");
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setModal(true);
    build();
    setFixedSize(209, 204);
    passed_creation_check_ = check_working_directory();
}

void Tzal_adres::build() {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(6, 6, 6, 6);
    column->setSpacing(6);

    model_ = new QFileSystemModel(this);
    model_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    model_->setReadOnly(true);
    zal_adr_ = new QTreeView;
    zal_adr_->setObjectName("zal_adr");
    zal_adr_->setToolTip("Vyberte adresář pro zálohy Vašich výpočtů");
    zal_adr_->setModel(model_);
    zal_adr_->setHeaderHidden(true);
    // Only the name: size, type and date say nothing about a folder's use here.
    for (int c = 1; c < model_->columnCount(); ++c) zal_adr_->hideColumn(c);
    zal_adr_->header()->setStretchLastSection(true);
    column->addWidget(zal_adr_, 1);
    connect(zal_adr_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { follow_current(current); });
    // The model reads folders in the background: once the chain down to the shown folder has
    // arrived, open it and bring the folder into view.
    // The rows of a loaded folder are inserted and sorted a moment after the signal.
    auto* reveal = new QTimer(this);
    reveal->setSingleShot(true);
    reveal->setInterval(50);
    connect(reveal, &QTimer::timeout, this, [this] { reveal_current(); });
    connect(model_, &QFileSystemModel::directoryLoaded, reveal, qOverload<>(&QTimer::start));

    zal_drive_ = new QComboBox;
    zal_drive_->setObjectName("zal_drive");
    zal_drive_->setToolTip("Vyberte disk pro zálohy Vašich výpočtů");
    column->addWidget(zal_drive_);
    refresh_drives();
    connect(zal_drive_, &QComboBox::activated, this, [this](int index) { choose_drive(index); });

    auto* buttons = new QHBoxLayout;
    ok_button_ = new QPushButton("&OK");
    ok_button_->setObjectName("ok_button");
    ok_button_->setToolTip("Uloží nastavení");
    ok_button_->setDefault(true);
    buttons->addWidget(ok_button_);
    zrus_button_ = new QPushButton("&Zrušit");
    zrus_button_->setObjectName("zrus_button");
    zrus_button_->setToolTip("Zachová původní nastavení");
    zrus_button_->setAutoDefault(false);
    buttons->addWidget(zrus_button_);
    column->addLayout(buttons);
    connect(ok_button_, &QPushButton::clicked, this, [this] { ok_buttonClick(); });
    connect(zrus_button_, &QPushButton::clicked, this, &QDialog::reject);
}

void Tzal_adres::refresh_drives() {
    QStringList roots;
    QStringList names;
    auto add = [&](const QString& root, const QString& name) {
        if (root.isEmpty() || roots.contains(root)) return;
        roots << root;
        names << (name.isEmpty() || name == root ? root : root + " (" + name + ")");
    };
    add(QDir::cleanPath(QStorageInfo::root().rootPath()), {});
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (volume.isValid() && volume.isReady()) {
            add(QDir::cleanPath(volume.rootPath()), volume.name());
        }
    }
    add(QDir::cleanPath(QDir::homePath()), {});

    const QSignalBlocker quiet(zal_drive_);
    zal_drive_->clear();
    for (qsizetype i = 0; i < roots.size(); ++i) zal_drive_->addItem(names[i], roots[i]);
    zal_drive_->setCurrentIndex(drive_index_of(shown_));
}

QString Tzal_adres::drive_root(int index) const { return zal_drive_->itemData(index).toString(); }

int Tzal_adres::drive_index_of(const QString& folder) const {
    int best = -1;
    for (int i = 0; i < zal_drive_->count(); ++i) {
        const QString root = drive_root(i);
        if (holds(root, folder) && (best < 0 || root.size() > drive_root(best).size())) best = i;
    }
    return best;
}

QString Tzal_adres::shown_folder() const { return shown_; }

bool Tzal_adres::select_folder(const QString& folder) {
    const QString path = absolute_folder(folder);
    if (!can_enter(path)) return false;

    int drive = drive_index_of(path);
    if (drive < 0) {
        // A folder outside every listed file system (mounted after the list was made).
        const QString root = QDir::cleanPath(QStorageInfo(path).rootPath());
        zal_drive_->addItem(root.isEmpty() ? path : root, root.isEmpty() ? path : root);
        drive = zal_drive_->count() - 1;
    }
    {
        const QSignalBlocker quiet(zal_drive_);
        zal_drive_->setCurrentIndex(drive);
    }
    const QString root = drive_root(drive);
    if (model_->rootPath() != root) {
        zal_adr_->setRootIndex(model_->setRootPath(root));
    }
    // The drive's root is the list itself, not a row of it.
    const QModelIndex row = path == root ? QModelIndex() : model_->index(path);
    zal_adr_->setCurrentIndex(row);
    if (row.isValid()) zal_adr_->scrollTo(row);
    // Set after the list moved: a hidden folder has no row, yet it is what the list stands on.
    shown_ = path;
    return true;
}

void Tzal_adres::follow_current(const QModelIndex& current) {
    if (current.isValid()) shown_ = model_->filePath(current);
}

void Tzal_adres::fall_back_to_documents() {
    if (!select_folder(documents_)) select_folder(QString());
}

bool Tzal_adres::check_working_directory() {
    refresh_drives();
    const bool usable = select_folder(QString::fromStdString(adresar_)) &&
                        is_writable_directory(shown_.toStdString());
    if (usable) {
        adresar_ = setting_of(shown_);
        if (set_dialog_folders_) set_dialog_folders_(shown_);
        return true;
    }
    fall_back_to_documents();
    adresar_ = setting_of(shown_);
    prompts_.error("Pracovní adresář není k dispozici, zvolte jiný");
    return false;
}

int Tzal_adres::show_dialog() {
    check_working_directory();
    return exec();
}

void Tzal_adres::ok_buttonClick() {
    run_command(prompts_, [this] {
        const QString folder = shown_;
        if (!is_writable_directory(folder.toStdString())) {
            raise_input_error("Do tohoto adresáře nemáte povolen zápis");
        }
        adresar_ = setting_of(folder);
        select_folder(folder);
        if (set_dialog_folders_) set_dialog_folders_(folder);
        accept();
    });
}

void Tzal_adres::choose_drive(int index) {
    if (index < 0 || index >= zal_drive_->count()) return;
    if (index == drive_index_of(shown_)) {
        select_folder(shown_);
        return;
    }
    if (select_folder(drive_root(index))) return;
    fall_back_to_documents();
    prompts_.error("Disk není k dispozici !");
}

void Tzal_adres::done(int result) {
    // A close asked for while the message below is open is the same close.
    if (closing_) return;
    closing_ = true;
    check_after_close();
    closing_ = false;
    QDialog::done(result);
}

void Tzal_adres::check_after_close() {
    // Whatever the list was moved to, the dialog closes on the working directory; one that went
    // missing or read-only meanwhile is replaced, since backups into it would be lost silently.
    if (select_folder(QString::fromStdString(adresar_)) && is_writable_directory(adresar_)) return;
    fall_back_to_documents();
    adresar_ = setting_of(shown_);
    prompts_.error("Do tohoto adresáře nemůžete zapisovat !");
}

void Tzal_adres::showEvent(QShowEvent* event) {
    centre_over_parent();
    QDialog::showEvent(event);
    reveal_current();
}

void Tzal_adres::reveal_current() {
    const QModelIndex current = zal_adr_->currentIndex();
    if (current.isValid()) zal_adr_->scrollTo(current, QAbstractItemView::PositionAtCenter);
}

void Tzal_adres::centre_over_parent() {
    const QWidget* over = parentWidget() ? parentWidget()->window() : nullptr;
    if (over == nullptr) return;
    const QRect frame = over->frameGeometry();
    move(frame.center() - QPoint(width() / 2, height() / 2));
}

}  // namespace cifrovar
