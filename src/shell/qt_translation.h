#pragma once

// Qt's own texts in Czech: the buttons of the message boxes and the labels and buttons of the
// file dialogs, which Qt would otherwise show in English in a program whose every other text
// is Czech. Debian packages the translation (qt6-translations-l10n) in Qt's own folder.
class QCoreApplication;

namespace cifrovar {

// Installs Qt's Czech translation from Qt's folder of translations; false when it is not there,
// and Qt's texts then stay English.
bool install_qt_czech(QCoreApplication& app);

}  // namespace cifrovar
