#include "shell/glyphs.h"

#include <QFile>

// The drawings are compiled into the static library cifrovar_gui; as no code refers to their
// object file, the linker would leave it out of every program. Registering them here makes
// every user of the glyphs pull it in. Q_INIT_RESOURCE must be used outside any namespace.
static void register_drawings() { Q_INIT_RESOURCE(cifrovar); }

namespace cifrovar {

namespace {

QString drawing(const QString& name) { return QStringLiteral(":/icons/%1.svg").arg(name); }

}  // namespace

QIcon glyph(const QString& name) {
    static const bool registered = (register_drawings(), true);
    Q_UNUSED(registered);
    const QString normal = drawing(name);
    // QIcon would accept a missing file and draw nothing at every size; a null icon lets the
    // control leave the picture out.
    if (name.isEmpty() || !QFile::exists(normal)) return QIcon();
    QIcon icon(normal);
    // Qt's automatic greying of the red stop sign or the coloured tiles stays too vivid to read
    // as unavailable next to the other disabled controls, so those have their own drawings.
    const QString disabled = drawing(name + QStringLiteral("_disabled"));
    if (QFile::exists(disabled)) icon.addFile(disabled, QSize(), QIcon::Disabled);
    return icon;
}

QIcon main_icon() { return glyph(QStringLiteral("mainicon")); }

QIcon document_icon() { return glyph(QStringLiteral("cfr_document")); }

}  // namespace cifrovar
