// The program's icon, drawn from the SVG in resources/.
#pragma once

#include <QIcon>

namespace qv7::panel {
QIcon appIcon();
}
