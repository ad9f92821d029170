// Windows proposes each new rectangle of a dragged window in WM_MOVING and lets the program
// change it; elsewhere the window manager moves windows on its own and this file is empty.
#include <QtGlobal>

#ifdef Q_OS_WIN
#include <windows.h>

#include "shell/main_window.h"

namespace cifrovar {

bool Thlavni::nativeEvent(const QByteArray& type, void* message, qintptr* result) {
    MSG* msg = static_cast<MSG*>(message);
    if (msg->message != WM_MOVING) return QMainWindow::nativeEvent(type, message, result);
    RECT* proposed = reinterpret_cast<RECT*>(msg->lParam);
    RECT current{};
    GetWindowRect(reinterpret_cast<HWND>(winId()), &current);
    const bool normal = !isMinimized() && !isMaximized() && isVisible();
    const ScreenRect snapped = snap_to_work_area(
        {proposed->left, proposed->top, proposed->right, proposed->bottom},
        current.right - current.left, current.bottom - current.top, work_area(), normal);
    *proposed = RECT{snapped.left, snapped.top, snapped.right, snapped.bottom};
    *result = TRUE;
    return true;
}

}  // namespace cifrovar
#endif
