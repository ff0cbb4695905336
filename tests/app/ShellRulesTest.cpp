#include <gtest/gtest.h>

#include "app/AboutInfo.h"
#include "app/CommandStates.h"
#include "app/Session.h"
#include "app/WindowPlacement.h"
#include "platform/MemorySettingsStore.h"

namespace corvid {
namespace {

TEST(CommandStates, FollowConnectionAndSimilarView) {
    struct SCase {
        ECommand command;
        bool enabled[2][2];  // [connected][similar]
        bool checked[2][2];
    };
    const SCase cases[] = {
        {ECommand::Connect, {{true, true}, {false, false}}, {{false, false}, {false, false}}},
        {ECommand::Disconnect, {{false, false}, {true, true}}, {{false, false}, {false, false}}},
        {ECommand::Load, {{false, false}, {true, false}}, {{false, false}, {false, false}}},
        {ECommand::FlushSharedPool, {{false, false}, {true, false}}, {{false, false}, {false, false}}},
        {ECommand::Options, {{true, false}, {true, false}}, {{false, false}, {false, false}}},
        {ECommand::FindSimilar, {{true, true}, {true, true}}, {{false, true}, {false, true}}},
        {ECommand::ShowStatement, {{true, true}, {true, true}}, {{false, false}, {false, false}}},
        {ECommand::Export, {{true, true}, {true, true}}, {{false, false}, {false, false}}},
        {ECommand::ConnectionInfo, {{true, true}, {true, true}}, {{false, false}, {false, false}}},
        {ECommand::About, {{true, true}, {true, true}}, {{false, false}, {false, false}}},
    };
    for (const SCase& c : cases) {
        for (int connected = 0; connected < 2; ++connected) {
            for (int similar = 0; similar < 2; ++similar) {
                const SCommandState state = GetCommandState(c.command, connected != 0, similar != 0);
                EXPECT_EQ(state.enabled, c.enabled[connected][similar])
                    << "command " << static_cast<int>(c.command) << " connected " << connected << " similar "
                    << similar;
                EXPECT_EQ(state.checked, c.checked[connected][similar])
                    << "command " << static_cast<int>(c.command) << " connected " << connected << " similar "
                    << similar;
            }
        }
    }
}

TEST(CommandStates, TheFamilyViewLocksLoadFlushOptionsAndFindSimilarUntilLeft) {
    for (const bool connected : {false, true}) {
        const auto inFamilies = [connected](ECommand c) { return GetCommandState(c, connected, false, true, false); };
        const auto filtered = [connected](ECommand c) { return GetCommandState(c, connected, false, false, true); };
        for (const ECommand c : {ECommand::Load, ECommand::FlushSharedPool, ECommand::Options, ECommand::FindSimilar})
            EXPECT_FALSE(inFamilies(c).enabled) << static_cast<int>(c);
        for (const ECommand c : {ECommand::Export, ECommand::ShowStatement, ECommand::StatementFamilies})
            EXPECT_TRUE(inFamilies(c).enabled) << static_cast<int>(c);
        EXPECT_TRUE(inFamilies(ECommand::StatementFamilies).checked);
        EXPECT_FALSE(inFamilies(ECommand::FindSimilar).checked);
        // One family's members are a statement list: everything works, and the
        // family button, shown pressed, goes back to all statements.
        EXPECT_EQ(filtered(ECommand::Load).enabled, connected);
        EXPECT_TRUE(filtered(ECommand::Options).enabled);
        EXPECT_TRUE(filtered(ECommand::FindSimilar).enabled);
        EXPECT_TRUE(filtered(ECommand::StatementFamilies).checked);
        // No family view from the similar view.
        EXPECT_FALSE(GetCommandState(ECommand::StatementFamilies, connected, true).enabled);
        EXPECT_FALSE(GetCommandState(ECommand::StatementFamilies, connected, false).checked);
    }
}

TEST(WindowPlacement, SavesFiveKeysInOrderAndReadsThemBack) {
    CMemorySettingsStore store;
    CWindowPlacement placement;
    placement.m_Left = -20;
    placement.m_Top = 10;
    placement.m_Right = 800;
    placement.m_Bottom = 610;
    placement.m_ShowCmd = CWindowPlacement::kShowNormal;
    placement.Save(store);
    EXPECT_EQ(store.WriteCount(), 5);
    const auto& section = store.Sections().at("Settings");
    EXPECT_EQ(section.at("left"), "-20");
    EXPECT_EQ(section.at("right"), "800");
    EXPECT_EQ(section.at("top"), "10");
    EXPECT_EQ(section.at("bottom"), "610");
    EXPECT_EQ(section.at("showcmd"), "1");

    CWindowPlacement read;
    read.Load(store);
    EXPECT_EQ(read.m_Left, -20);
    EXPECT_EQ(read.m_Top, 10);
    EXPECT_EQ(read.m_Right, 800);
    EXPECT_EQ(read.m_Bottom, 610);
    EXPECT_EQ(read.m_ShowCmd, 1);
}

TEST(WindowPlacement, NothingStoredMeansMaximisedWithAnEmptyRectangle) {
    CMemorySettingsStore store;
    CWindowPlacement placement;
    placement.Load(store);
    EXPECT_EQ(placement.m_ShowCmd, CWindowPlacement::kShowMaximized);
    EXPECT_FALSE(placement.IntersectsScreen(0, 0, 1024, 768));
}

TEST(WindowPlacement, OnlyARectangleThatMeetsTheScreenCounts) {
    auto rect = [](int l, int t, int r, int b) {
        CWindowPlacement p;
        p.m_Left = l;
        p.m_Top = t;
        p.m_Right = r;
        p.m_Bottom = b;
        return p;
    };
    EXPECT_TRUE(rect(100, 100, 500, 400).IntersectsScreen(0, 0, 1024, 768));
    EXPECT_TRUE(rect(-300, -200, 1, 1).IntersectsScreen(0, 0, 1024, 768));       // one pixel in the corner
    EXPECT_TRUE(rect(1023, 767, 2000, 2000).IntersectsScreen(0, 0, 1024, 768));  // one pixel at the far corner
    EXPECT_FALSE(rect(1024, 0, 1600, 500).IntersectsScreen(0, 0, 1024, 768));    // touches the right edge only
    EXPECT_FALSE(rect(-900, -700, 0, 0).IntersectsScreen(0, 0, 1024, 768));      // wholly above and left
    EXPECT_FALSE(rect(3000, 3000, 3800, 3600).IntersectsScreen(0, 0, 1024, 768));
    EXPECT_FALSE(rect(500, 400, 100, 100).IntersectsScreen(0, 0, 1024, 768));  // inverted rectangle
    EXPECT_FALSE(rect(-2147483647 - 1, 0, 2147483647, 0).IntersectsScreen(0, 0, 1024, 768));
    EXPECT_TRUE(rect(-2147483647 - 1, 0, 2147483647, 10).IntersectsScreen(0, 0, 1024, 768));
    // A screen that does not start at the origin.
    EXPECT_FALSE(rect(100, 100, 500, 400).IntersectsScreen(1920, 0, 1280, 1024));
    EXPECT_TRUE(rect(2000, 100, 2500, 400).IntersectsScreen(1920, 0, 1280, 1024));
}

TEST(Caption, ComposedFromTheConnection) {
    EXPECT_EQ(ComposeCaption(false, "SCOTT", "DEMO", "DEMO", "banner"), "Corvid - Disconnected");
    EXPECT_EQ(ComposeCaption(true, "SCOTT", "DEMO", "DEMODB", "Oracle Database 19c"),
              "Corvid - User SCOTT connected with DEMO (DEMODB) - Oracle Database 19c");
    EXPECT_EQ(ComposeCaption(true, "scott", "", "ORCL", "Banner"),
              "Corvid - User scott connected with local database (ORCL) - Banner");
    EXPECT_EQ(ComposeCaption(true, "SCOTT", "DEMO", "", ""), "Corvid - User SCOTT connected with DEMO () - ");
}

TEST(About, NamesTheProgramVersionAndBuild) {
    const std::string text = AboutText();
    EXPECT_NE(text.find("Corvid - The Oracle Shared Pool Profiler"), std::string::npos);
    EXPECT_NE(text.find("Version 1.7.2"), std::string::npos);
    EXPECT_NE(text.find("Build 144"), std::string::npos);
}

}  // namespace
}  // namespace corvid
