#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <array>

namespace assetgen {

// The desktop icon's square sizes in the hicolor theme.
inline constexpr std::array<int, 7> kIconSizes = {16, 24, 32, 48, 64, 128, 256};

// A drop of tank water with a pH trace across it and CO2 bubbles rising beside it, on a
// rounded tile of deep water. Transparent outside the tile. Any size.
QImage drawIcon(int size);

// The same icon as scalable vector graphics, drawn from the same shapes.
QString iconSvg();

// A Windows icon file holding every size of drawIcon(), for the program's executable.
QByteArray iconIco();

}  // namespace assetgen
