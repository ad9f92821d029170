#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <string>

class QComboBox;
class QFileSystemModel;
class QModelIndex;
class QPushButton;
class QTreeView;

namespace cifrovar {

class Prompts;

// "Pracovní adresář": the folder tree and the drive selector for the working directory, where
// backups and the error log go and where the file choosers start. A folder is accepted only
// when is_writable_directory() passes on it.
class Tzal_adres : public QDialog {
    Q_OBJECT

  public:
    // adresar: the working directory it reads and changes; documents: the folder it falls back
    // to (may be "", the current directory); set_dialog_folders: called with a folder whenever
    // the OK logic accepts one, to move the file choosers' initial folders there.
    Tzal_adres(std::string& adresar, std::string documents, Prompts& prompts,
               std::function<void(const QString&)> set_dialog_folders, QWidget* parent = nullptr);

    // Moves the list to adresar and runs the OK logic without closing. When adresar is not
    // usable, the list moves to documents, adresar becomes the folder shown and the user is told
    // to choose another; the file choosers' folders stay. True when adresar was usable.
    bool check_working_directory();
    // Whether the check made when the dialog was created passed.
    bool passed_creation_check() const { return passed_creation_check_; }
    // The menu command: the check, then the dialog, modally.
    int show_dialog();

    // The folder selected in the list.
    QString shown_folder() const;
    // Moves the list and the drive selector to folder ("" = the current directory); false, with
    // the list left where it was, when the folder cannot be entered.
    bool select_folder(const QString& folder);

    // OK: a writable folder becomes adresar and the dialog closes; otherwise an input error and
    // the dialog stays open.
    void ok_buttonClick();
    // The drive selector moved to the entry index.
    void choose_drive(int index);

    // Rebuilds the drive selector from the mounted file systems and the home folder.
    void refresh_drives();

    // Every close (OK, Zrušit, Esc, the close box) ends here, once.
    void done(int result) override;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void build();
    void follow_current(const QModelIndex& current);
    // The selector entry whose root holds folder, the deepest one; -1 when none does.
    int drive_index_of(const QString& folder) const;
    QString drive_root(int index) const;
    // Sets the list on documents, or on the current directory when documents cannot be entered.
    void fall_back_to_documents();
    void check_after_close();
    void centre_over_parent();
    // Opens the folders down to the current one and scrolls it into view.
    void reveal_current();

    std::string& adresar_;
    QString documents_;
    Prompts& prompts_;
    std::function<void(const QString&)> set_dialog_folders_;
    QString shown_;
    bool closing_ = false;
    bool passed_creation_check_ = false;

    QFileSystemModel* model_ = nullptr;
    QTreeView* zal_adr_ = nullptr;
    QComboBox* zal_drive_ = nullptr;
    QPushButton* ok_button_ = nullptr;
    QPushButton* zrus_button_ = nullptr;
};

}  // namespace cifrovar
