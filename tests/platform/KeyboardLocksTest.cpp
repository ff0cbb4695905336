#include "platform/KeyboardLocks.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace corvid {
namespace {

namespace fs = std::filesystem;

class KeyboardLeds : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/corvid-leds-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_folder = pattern;
    }
    void TearDown() override { fs::remove_all(m_folder); }

    void Led(const std::string& name, const std::string& brightness) {
        fs::create_directories(m_folder / name);
        std::ofstream(m_folder / name / "brightness") << brightness;
    }

    fs::path m_folder;
};

TEST_F(KeyboardLeds, ALockIsOnWhenAnyOfItsLedsIsLit) {
    Led("input3::capslock", "0\n");
    Led("input7::capslock", "1\n");
    Led("input3::numlock", "0\n");
    Led("input3::scrolllock", "255\n");
    Led("phy0-led", "1\n");
    EXPECT_EQ(ReadLockLeds(m_folder.string()), (LockStates{true, false, true}));
}

TEST_F(KeyboardLeds, NoFolderOrUnreadableValuesMeanOff) {
    EXPECT_EQ(ReadLockLeds((m_folder / "missing").string()), (LockStates{false, false, false}));
    Led("input3::capslock", "bright");
    Led("input3::numlock", "");
    EXPECT_EQ(ReadLockLeds(m_folder.string()), (LockStates{false, false, false}));
}

}  // namespace
}  // namespace corvid
