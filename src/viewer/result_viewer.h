#pragma once

#include <QDialog>
#include <QString>

#include "viewer/viewer_settings.h"

class QCheckBox;
class QLineEdit;
class QMenu;
class QPushButton;
class QSpinBox;

namespace cifrovar {

class DigitView;
class Engine;
class Prompts;

// The result viewer: the calculation, its digit count and the digits, which it saves as a text
// file with or without a header and wrapping. Shown modally over the main window.
class Tvypis : public QDialog {
    Q_OBJECT

  public:
    Tvypis(Engine& engine, Prompts& prompts, QWidget* parent);

    // Clears the text box, fills in the calculation and the digit count and loads the rendered
    // file; false when the file cannot be loaded.
    bool load(const QString& path, const QString& description, qint64 digit_count);

    // True while the viewer is open.
    bool viewer_active() const { return active_; }

    void apply_settings(const ViewerSettings& settings);
    // The present state; the position and size are those of the last normal (not maximised)
    // geometry.
    ViewerSettings settings() const;

    // The save command ("&Uložit").
    void b_uloztextClick();
    // The pop-up menu of the text box, its items enabled for the present selection.
    QMenu* copy_all_menu();

    QString save_folder;

  protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;
    void changeEvent(QEvent* event) override;

  private:
    void build();
    void refresh_copy_all();
    void loading_failed();

    Engine& engine_;
    Prompts& prompts_;
    bool active_ = false;
    QString proposed_name_;
    QLineEdit* ed_vypocet_ = nullptr;
    QLineEdit* ed_cifry_ = nullptr;
    QCheckBox* zalom_button_ = nullptr;
    QSpinBox* zalom_po_ = nullptr;
    DigitView* vysledovka_ = nullptr;
    QCheckBox* hlava_vypis_ = nullptr;
    QPushButton* b_uloztext_ = nullptr;
    QMenu* copy_all_ = nullptr;
    QAction* copy_ = nullptr;
    QAction* all_ = nullptr;
};

}  // namespace cifrovar
