#pragma once

#include <QCursor>
#include <optional>
#include <string>

#include "frame/cursor_file.h"

namespace quorvel::ui {

// The pointer of a parsed cursor image, hot spot included.
QCursor toQCursor(const frame::CursorImage& image);

// The hand pointer from HAND-M.CUR in appFolder, or nothing when that file
// is absent; a damaged file throws (std::runtime_error naming it).
std::optional<QCursor> loadHandCursorQt(const std::string& appFolder);

}  // namespace quorvel::ui
