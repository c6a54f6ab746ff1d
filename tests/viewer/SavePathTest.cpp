#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "viewer/SavePath.h"

namespace velmora::viewer {
namespace {

namespace fs = std::filesystem;

class SavePathTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("velmora-savepath-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    void touch(const std::string& name) { std::ofstream(dir_ / name) << "x"; }
    fs::path dir_;
};

TEST_F(SavePathTest, NamesFollowTheInput) {
    const struct {
        const char* input;
        const char* expected;
    } cases[] = {
        {"cloth.obj", "cloth-sculpted.obj"},
        {"Scan.PLY", "Scan-sculpted.PLY"},
        {"part.stl", "part-sculpted.ply"},
        {"Plane", "Plane-sculpted.ply"},
        {"a.b.obj", "a.b-sculpted.obj"},
    };
    for (const auto& c : cases) EXPECT_EQ(chooseSavePath(dir_ / c.input), dir_ / c.expected) << c.input;
}

TEST_F(SavePathTest, ExistingFilesAreNeverChosen) {
    touch("cloth.obj");
    touch("cloth-sculpted.obj");
    touch("cloth-sculpted-2.obj");
    EXPECT_EQ(chooseSavePath(dir_ / "cloth.obj"), dir_ / "cloth-sculpted-3.obj");
    // An input that already carries the suffix still gets a new name.
    EXPECT_EQ(chooseSavePath(dir_ / "cloth-sculpted.obj"), dir_ / "cloth-sculpted-sculpted.obj");
}

}  // namespace
}  // namespace velmora::viewer
