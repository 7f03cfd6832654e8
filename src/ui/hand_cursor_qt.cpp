#include "ui/hand_cursor_qt.h"

#include <QImage>
#include <QPixmap>

namespace quorvel::ui {

QCursor toQCursor(const frame::CursorImage& image) {
    QImage picture(image.width, image.height, QImage::Format_ARGB32);
    for (int y = 0; y < image.height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = 0; x < image.width; ++x) {
            line[x] = image.argb[static_cast<size_t>(y) * image.width + x];
        }
    }
    return QCursor(QPixmap::fromImage(picture), image.hotX, image.hotY);
}

std::optional<QCursor> loadHandCursorQt(const std::string& appFolder) {
    const auto image = frame::LoadHandCursor(appFolder);
    if (!image) return std::nullopt;
    return toQCursor(*image);
}

}  // namespace quorvel::ui
