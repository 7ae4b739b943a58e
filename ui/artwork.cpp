#include "ui/artwork.h"

#include <QPainter>
#include <QSvgRenderer>

QPixmap LoadPicture(const QString& resource) {
    if (!resource.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive))
        return QPixmap(resource);
    QSvgRenderer renderer(resource);
    if (!renderer.isValid())
        return QPixmap();
    QImage image(renderer.defaultSize(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter);
    painter.end();
    return QPixmap::fromImage(image);
}

std::vector<QPixmap> LoadImageStrip(const QString& resource, QSize piece) {
    std::vector<QPixmap> pieces;
    const QPixmap strip = LoadPicture(resource);
    if (strip.isNull() || piece.width() <= 0)
        return pieces;
    for (int x = 0; x + piece.width() <= strip.width(); x += piece.width())
        pieces.push_back(strip.copy(x, 0, piece.width(), piece.height()));
    return pieces;
}

QIcon ToolbarIcon(const QPixmap& normal) {
    QIcon icon(normal);
    QImage hot = normal.toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < hot.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(hot.scanLine(y));
        for (int x = 0; x < hot.width(); ++x) {
            const QRgb p = line[x];
            line[x] = qRgba(qMin(255, qRed(p) + 40), qMin(255, qGreen(p) + 40),
                            qMin(255, qBlue(p) + 40), qAlpha(p));
        }
    }
    icon.addPixmap(QPixmap::fromImage(hot), QIcon::Active);
    return icon;
}
