#include "shell/hint_settings.h"

#include <QApplication>
#include <QEvent>
#include <QPalette>
#include <QToolTip>
#include <QWidget>

namespace cifrovar {

namespace {

class HintPause : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::ToolTip && watched->isWidgetType()) {
            auto* widget = static_cast<QWidget*>(watched);
            if (widget->toolTipDuration() < 0) widget->setToolTipDuration(hint_pause_ms);
        }
        return false;
    }
};

}  // namespace

void install_hint_settings(QApplication& app) {
    QPalette hints = QToolTip::palette();
    hints.setColor(QPalette::ToolTipBase, QColor(255, 255, 0));
    hints.setColor(QPalette::ToolTipText, Qt::black);
    QToolTip::setPalette(hints);
    app.installEventFilter(new HintPause(&app));
}

}  // namespace cifrovar
