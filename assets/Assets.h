#pragma once

#include <QString>

// Resource paths of the program's pictures; any program linking vellicor_assets has them.
namespace assets {

QString backdropPath();  // 470 x 200, the main window's backdrop
QString co2TablePath();  // 575 x 469, the help window's CO2 table

}  // namespace assets
