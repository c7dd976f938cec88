// The shared path rules: '/' and '\' split alike, joining never doubles a
// separator, and a root stays a root.
#include <gtest/gtest.h>

#include "platform/path.h"

namespace trivexa {
namespace {

TEST(PathRules, FinalComponentAndParentTakeEitherSeparator) {
    struct Row {
        std::string_view path, name, last, parent;
    };
    const Row rows[] = {
        {"/media/SD/Normal/Front/A.AVI", "A.AVI", "A.AVI", "/media/SD/Normal/Front"},
        {"E:\\Normal\\Front\\A.AVI", "A.AVI", "A.AVI", "E:\\Normal\\Front"},
        {"/media/SD\\Normal/A.AVI", "A.AVI", "A.AVI", "/media/SD\\Normal"},
        {"/media/SD/Normal/", "", "Normal", "/media/SD"},
        {"/media/SD/Normal//\\", "", "Normal", "/media/SD"},
        {"A.AVI", "A.AVI", "A.AVI", ""},
        {"/A.AVI", "A.AVI", "A.AVI", "/"},
        {"\\A.AVI", "A.AVI", "A.AVI", "/"},
        {"/", "", "", "/"},
        {"", "", "", ""},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.path));
        EXPECT_EQ(FileNameOf(r.path), r.name);
        EXPECT_EQ(LastComponent(r.path), r.last);
        EXPECT_EQ(ParentOf(r.path), r.parent);
    }
}

TEST(PathRules, TrailingSeparatorsGoButARootStays) {
    EXPECT_EQ(StripTrailingSeparators("/media/SD///"), "/media/SD");
    EXPECT_EQ(StripTrailingSeparators("D:\\backup\\"), "D:\\backup");
    EXPECT_EQ(StripTrailingSeparators("///"), "/");
    EXPECT_EQ(StripTrailingSeparators("a"), "a");
}

TEST(PathRules, JoinAddsOneSeparatorAtMost) {
    EXPECT_EQ(JoinPath("/media/SD", "Normal"), "/media/SD/Normal");
    EXPECT_EQ(JoinPath("/media/SD/", "Normal"), "/media/SD/Normal");
    EXPECT_EQ(JoinPath("D:\\backup\\", "A.AVI"), "D:\\backup\\A.AVI");
    EXPECT_EQ(JoinPath("/", "tmp"), "/tmp");
    EXPECT_EQ(JoinPath("", "A.AVI"), "A.AVI");
    // Splitting a joined path gives its parts back.
    const std::string joined = JoinPath("/media/SD/Normal", "Front");
    EXPECT_EQ(ParentOf(joined), "/media/SD/Normal");
    EXPECT_EQ(FileNameOf(joined), "Front");
    EXPECT_EQ(WithForwardSlashes("E:\\Normal\\Front"), "E:/Normal/Front");
}

}  // namespace
}  // namespace trivexa
