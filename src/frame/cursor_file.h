#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quorvel::frame {

// A pointer image as read from a cursor (.CUR) file: premultiplication-free
// 32-bit ARGB pixels, top row first, and the hot spot.
struct CursorImage {
    int width = 0;
    int height = 0;
    int hotX = 0;
    int hotY = 0;
    std::vector<uint32_t> argb;  // width * height pixels
};

// Reads the largest image of a cursor file (bitmaps of 1, 4, 8, 24 or 32 bits
// per pixel with their AND mask; an embedded PNG image is refused).  Throws
// std::runtime_error naming the file and the problem.
CursorImage readCursorFile(const std::string& path);
CursorImage parseCursor(const std::string& bytes, const std::string& nameForErrors);

// The hand pointer of every window: the image of appFolder/HAND-M.CUR, or
// nothing when FileExists does not report that file (the default pointer
// then stands in for it).  A damaged file throws like readCursorFile, so
// that the trap of the loading handler reports it.
std::optional<CursorImage> LoadHandCursor(const std::string& appFolder);

}  // namespace quorvel::frame
