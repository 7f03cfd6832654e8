#pragma once

#include <QCursor>
#include <optional>
#include <string>

#include "shell/cursor_file.h"

namespace quorvel::shell {

// The pointer of a parsed cursor image, hot spot included.
QCursor toQCursor(const CursorImage& image);

// The hand pointer from HAND-M.CUR in appFolder, or nothing when that file
// is absent; a damaged file throws (std::runtime_error naming it).
std::optional<QCursor> loadHandCursorQt(const std::string& appFolder);

}  // namespace quorvel::shell
