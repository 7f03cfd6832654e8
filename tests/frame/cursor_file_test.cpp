#include "frame/cursor_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include "support/table_builder.h"

namespace quorvel::frame {
namespace {

using ::testing::HasSubstr;

std::string shippedCursor() {
    std::ifstream in(std::string(QUORVEL_SOURCE_DIR) + "/samples/HAND-M.CUR", std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::string parseError(const std::string& bytes) {
    try {
        parseCursor(bytes, "HAND-M.CUR");
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "no error";
}

TEST(CursorFileTest, ShippedHandHasItsHotSpotAndATransparentBackground) {
    const CursorImage image = parseCursor(shippedCursor(), "HAND-M.CUR");
    EXPECT_EQ(image.width, 32);
    EXPECT_EQ(image.height, 32);
    EXPECT_EQ(image.hotX, 6);
    EXPECT_EQ(image.hotY, 0);
    ASSERT_EQ(image.argb.size(), 32u * 32u);
    EXPECT_EQ(image.argb[0], 0u);                // top-left: transparent
    EXPECT_EQ(image.argb[6], 0xFF000000u);       // fingertip outline: opaque black
    EXPECT_EQ(image.argb[32 + 6], 0xFFFFFFFFu);  // inside the finger: opaque white
    EXPECT_EQ(image.argb[31 * 32 + 31], 0u);     // bottom-right: transparent
}

TEST(CursorFileTest, DamagedFilesAreNamedWithTheProblem) {
    const std::string good = shippedCursor();
    ASSERT_GT(good.size(), 100u);

    EXPECT_THAT(parseError(good.substr(0, good.size() - 10)),
                HasSubstr("HAND-M.CUR: image data is cut off"));
    std::string shortImage = good;
    shortImage[6 + 8] = 40;  // the directory claims a 40-byte image: no room for pixels
    shortImage[6 + 9] = 0;
    EXPECT_THAT(parseError(shortImage.substr(0, 6 + 16 + 40 + 8 + 64)),
                HasSubstr("HAND-M.CUR: pixel data is cut off"));
    EXPECT_THAT(parseError(good.substr(0, 4)), HasSubstr("cut off"));

    std::string icon = good;
    icon[2] = 1;  // an icon file, not a cursor
    EXPECT_THAT(parseError(icon), HasSubstr("not a cursor file"));

    std::string hot = good;
    hot[6 + 4] = 40;  // hot spot x beyond the 32-pixel width
    EXPECT_THAT(parseError(hot), HasSubstr("hot spot"));

    std::string png = good;
    png.replace(6 + 16, 8, "\x89PNG\r\n\x1a\n", 8);
    EXPECT_THAT(parseError(png), HasSubstr("PNG"));
}

TEST(CursorFileTest, MissingHandFileGivesNoImageAndADamagedOneThrows) {
    test::TempFolder dir;
    EXPECT_FALSE(LoadHandCursor(dir.path()).has_value());
    std::ofstream(dir.file("HAND-M.CUR")) << "junk";
    EXPECT_THROW(LoadHandCursor(dir.path()), std::runtime_error);
    std::ofstream(dir.file("HAND-M.CUR"), std::ios::binary) << shippedCursor();
    ASSERT_TRUE(LoadHandCursor(dir.path()).has_value());
    EXPECT_EQ(LoadHandCursor(dir.path())->hotX, 6);

    test::TempFolder fifoDir;
    ASSERT_EQ(::mkfifo(fifoDir.file("HAND-M.CUR").c_str(), 0600), 0);
    EXPECT_THROW(
        {
            try {
                LoadHandCursor(fifoDir.path());
            } catch (const std::runtime_error& e) {
                EXPECT_THAT(e.what(), HasSubstr("is not a regular file"));
                throw;
            }
        },
        std::runtime_error);
}

}  // namespace
}  // namespace quorvel::frame
