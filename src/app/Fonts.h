#pragma once

#include <QString>

// Registers Staatliches_400Regular, Nunito_400Regular and Nunito_800ExtraBold
// from the bundle's Resources/Fonts for this process, in that order. A missing
// file prints "[Vocarta] Font not found: <name>.ttf" and the others still load.
void registerFonts();
void registerFonts(const QString &bundlePath);
