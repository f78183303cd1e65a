#include "cli/output_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fw::cli {
namespace {

namespace fs = std::filesystem;

class OutputFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("fw_output_" +
                std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    static void Put(const std::string& path, const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    }
    static std::string Get(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    size_t Count() const {
        return size_t(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()));
    }
    fs::path dir_;
};

TEST_F(OutputFileTest, TheTargetChangesOnlyOnCommit) {
    const std::string target = Path("out.png");
    Put(target, "old");
    std::string error;
    {
        OutputFile file;
        ASSERT_TRUE(file.Create(target, error)) << error;
        const fs::path temp(file.TemporaryPath());
        EXPECT_EQ(temp.parent_path(), dir_);
        EXPECT_EQ(temp.extension(), ".png");
        EXPECT_EQ(temp.filename().string().rfind(".out.", 0), 0u);
        Put(file.TemporaryPath(), "new");
        EXPECT_EQ(Get(target), "old");
    }  // never committed: the temporary goes, the target stays
    EXPECT_EQ(Get(target), "old");
    EXPECT_EQ(Count(), 1u);

    OutputFile file;
    ASSERT_TRUE(file.Create(target, error)) << error;
    Put(file.TemporaryPath(), "new");
    ASSERT_TRUE(file.Commit(error)) << error;
    EXPECT_EQ(Get(target), "new");
    EXPECT_EQ(Count(), 1u);
}

TEST_F(OutputFileTest, LinksAreNeverWrittenThrough) {
    const std::string victim = Path("victim.txt");
    Put(victim, "precious");
    std::string error;

    // A link in place of the temporary between its creation and the commit: nothing moves.
    OutputFile swapped;
    ASSERT_TRUE(swapped.Create(Path("a.png"), error)) << error;
    fs::remove(swapped.TemporaryPath());
    fs::create_symlink(victim, swapped.TemporaryPath());
    EXPECT_FALSE(swapped.Commit(error));
    EXPECT_NE(error.find("replaced"), std::string::npos) << error;
    EXPECT_FALSE(fs::exists(Path("a.png")));

    // The target itself a link: the link is replaced, its destination kept.
    fs::create_symlink(victim, Path("b.png"));
    OutputFile file;
    ASSERT_TRUE(file.Create(Path("b.png"), error)) << error;
    Put(file.TemporaryPath(), "picture");
    ASSERT_TRUE(file.Commit(error)) << error;
    EXPECT_FALSE(fs::is_symlink(Path("b.png")));
    EXPECT_EQ(Get(Path("b.png")), "picture");
    EXPECT_EQ(Get(victim), "precious");
}

TEST_F(OutputFileTest, WritersOfOneTargetDoNotMeet) {
    const std::string target = Path("out.png");
    std::string error;
    OutputFile first, second;
    ASSERT_TRUE(first.Create(target, error)) << error;
    ASSERT_TRUE(second.Create(target, error)) << error;
    EXPECT_NE(first.TemporaryPath(), second.TemporaryPath());
    Put(first.TemporaryPath(), "first");
    Put(second.TemporaryPath(), "second");
    ASSERT_TRUE(second.Commit(error)) << error;
    ASSERT_TRUE(first.Commit(error)) << error;
    EXPECT_EQ(Get(target), "first");  // the later rename wins
    EXPECT_EQ(Count(), 1u);
}

TEST_F(OutputFileTest, ProblemsAreFoundBeforeAnyWork) {
    fs::create_directories(Path("folder"));
    Put(Path("file"), "x");
    EXPECT_EQ(OutputProblem(Path("out.png")), "");
    EXPECT_EQ(OutputProblem(Path("folder")), "it is a folder");
    EXPECT_EQ(OutputProblem(Path("none/out.png")), "folder '" + Path("none") + "' does not exist");
    EXPECT_EQ(OutputProblem(Path("file/out.png")), "'" + Path("file") + "' is not a folder");
    EXPECT_EQ(OutputProblem("relative.png"), "");
    std::string error;
    OutputFile file;
    EXPECT_FALSE(file.Create(Path("none/out.png"), error));
    EXPECT_NE(error.find("No such file"), std::string::npos) << error;
}

}  // namespace
}  // namespace fw::cli
