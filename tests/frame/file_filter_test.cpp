#include "frame/file_filter.h"

#include <gtest/gtest.h>

namespace quorvel::frame {
namespace {

TEST(FileFilterTest, PairsBecomeToolkitEntries) {
    EXPECT_EQ(toolkitFileFilter("Microsoft Database (*.dbc)|*.dbc|"), "Microsoft Database (*.dbc)");
    // "*.*" matches names without a dot too.
    EXPECT_EQ(toolkitFileFilter("Text Files (*.txt)|*.txt|All Files (*.*)|*.*|"),
              "Text Files (*.txt);;All Files (*)");
    EXPECT_EQ(toolkitFileFilter("Tables|*.dbf;*.DBF"), "Tables (*.dbf *.DBF)");
    EXPECT_EQ(toolkitFileFilter(""), "");
    EXPECT_EQ(parseFileFilter("Lonely description").size(), 0u);
}

}  // namespace
}  // namespace quorvel::frame
