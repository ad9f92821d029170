#pragma once

#include <QIcon>
#include <QString>

namespace cifrovar {

// The named glyph as an icon, drawn from :/icons/<name>.svg; a drawing <name>_disabled.svg,
// where there is one ("prerus", "cfr"), serves the disabled mode instead of Qt's greying.
// A name without a drawing gives a null icon (the control then shows no picture).
QIcon glyph(const QString& name);

// The program's own icon ("mainicon").
QIcon main_icon();

// The icon of calculation files.
QIcon document_icon();

}  // namespace cifrovar
