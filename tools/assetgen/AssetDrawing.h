#pragma once

#include <QColor>
#include <QImage>

#include "Co2Table.h"

namespace assetgen {

inline constexpr int kBackdropWidth = 470;
inline constexpr int kBackdropHeight = 200;
inline constexpr int kTableWidth = 575;
inline constexpr int kTableHeight = 469;

// Dark blue water with rising gas bubbles, behind the main window's controls. 24-bit. A
// scale above 1 draws the same picture with that many pixels to each one, for sharp screens.
QImage drawBackdrop(int scale = 1);

// The help window's CO2 table with its colour bands and legend. 24-bit. Needs a
// QGuiApplication for the fonts. Scale as for the backdrop.
QImage drawCo2Table(int scale = 1);

// Fill colour of a cell, shared with the legend so the two cannot drift apart.
QColor bandColour(Co2Band band);

}  // namespace assetgen
