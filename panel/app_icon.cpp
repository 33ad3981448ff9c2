// The icon comes from the resource file; without Qt's SVG plugin a painted fallback keeps windows and tray from going
// blank.
#include "panel/app_icon.h"

#include <QPainter>
#include <QPixmap>

// The resource object sits in a static library; nothing else would pull it into the program.
static void initResources() { Q_INIT_RESOURCE(panel); }

namespace qv7::panel {

QIcon appIcon() {
    static const QIcon icon = [] {
        initResources();
        QIcon svg(QStringLiteral(":/qv7-panel.svg"));
        if (!svg.pixmap(32, 32).isNull()) return svg;
        QPixmap pm(64, 64);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.setBrush(QColor(0x1f, 0x5f, 0x9f));
        p.setPen(Qt::NoPen);
        p.drawRoundedRect(4, 4, 56, 56, 12, 12);
        p.setBrush(Qt::white);
        for (int i = 0; i < 3; ++i) p.drawRect(16 + 12 * i, 18 + (i % 2) * 10, 6, 30 - (i % 2) * 10);
        return QIcon(pm);
    }();
    return icon;
}

}  // namespace qv7::panel
