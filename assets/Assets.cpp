#include "Assets.h"

namespace assets {

QString backdropPath() {
    return QStringLiteral(":/assets/backdrop.png");
}
QString co2TablePath() {
    return QStringLiteral(":/assets/co2table.png");
}

}  // namespace assets
