#include "gui/Logo.h"

#include <QPainter>
#include <QPainterPath>

// The resources live in a static library, so they are registered by hand before first use.
static void RegisterResources() { Q_INIT_RESOURCE(wizard); }

namespace lexicorn::gui {

QPixmap ProductLogo(qreal devicePixelRatio) {
    // Drawn rather than stored, so that it is sharp at every scale of the desktop.
    QPixmap logo(kLogoSize * devicePixelRatio);
    logo.setDevicePixelRatio(devicePixelRatio);
    logo.fill(Qt::white);
    QPainter painter(&logo);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor blue(0x1F, 0x4E, 0x9C);

    // The sail of the desktop icon (lexicorn-wizard.svg, 64 units square) in 40 points.
    painter.save();
    painter.translate(2, 4);
    painter.scale(40.0 / 64, 40.0 / 64);
    QPainterPath sail;
    sail.moveTo(22, 9);
    sail.lineTo(22, 49);
    sail.lineTo(52, 49);
    sail.closeSubpath();
    painter.fillPath(sail, blue);
    painter.setPen(QPen(Qt::white, 2.5, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(25, 23), QPointF(38, 45));
    painter.drawLine(QPointF(25, 32), QPointF(33, 45));
    painter.drawLine(QPointF(25, 41), QPointF(28, 45));
    painter.setPen(QPen(blue, 3, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(12, 55), QPointF(52, 55));
    painter.restore();

    QFont name = painter.font();
    name.setBold(true);
    name.setPixelSize(20);
    painter.setFont(name);
    painter.setPen(blue);
    painter.drawText(QRectF(44, 3, kLogoSize.width() - 44, 26), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Lexicorn"));
    QFont product = painter.font();
    product.setBold(false);
    product.setPixelSize(12);
    painter.setFont(product);
    painter.setPen(Qt::darkGray);
    painter.drawText(QRectF(45, 29, kLogoSize.width() - 45, 16), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Wizard"));
    return logo;
}

QString ReleaseNotesResource() {
    RegisterResources();
    return QStringLiteral(":/lexicorn/release-notes.md");
}

}  // namespace lexicorn::gui
