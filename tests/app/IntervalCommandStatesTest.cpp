#include <gtest/gtest.h>

#include "app/CommandStates.h"

namespace corvid {
namespace {

// connected, similar, family view, family members listed.
struct SMode {
    bool connected;
    bool similar;
    bool families;
    bool filtered;
};

SCommandState StateIn(ECommand command, const SMode& mode, const SIntervalViewState& interval) {
    return GetCommandState(command, mode.connected, mode.similar, mode.families, mode.filtered, interval);
}

TEST(IntervalCommandStates, ShowChangesNeedsTwoLoadsAndTheStatementList) {
    const SMode list{true, false, false, false};
    SIntervalViewState state;
    EXPECT_FALSE(StateIn(ECommand::ShowChanges, list, state).enabled);
    state.hasInterval = true;
    EXPECT_TRUE(StateIn(ECommand::ShowChanges, list, state).enabled);
    EXPECT_FALSE(StateIn(ECommand::ShowChanges, list, state).checked);
    state.changesMode = true;
    EXPECT_TRUE(StateIn(ECommand::ShowChanges, list, state).checked);
    // The loads stay comparable after a disconnect.
    EXPECT_TRUE(StateIn(ECommand::ShowChanges, {false, false, false, false}, state).checked);
    for (const SMode& other : {SMode{true, true, false, false}, SMode{true, false, true, false},
                               SMode{true, false, false, true}}) {
        const SCommandState inOther = StateIn(ECommand::ShowChanges, other, state);
        EXPECT_FALSE(inOther.enabled);
        EXPECT_FALSE(inOther.checked);
    }
    // The changes view leaves the other commands as the statement list has them.
    for (ECommand command : {ECommand::Load, ECommand::FlushSharedPool, ECommand::Options, ECommand::FindSimilar,
                             ECommand::StatementFamilies, ECommand::Export, ECommand::FindSqlId}) {
        const SCommandState plain = GetCommandState(command, true, false, false, false);
        const SCommandState changes = StateIn(command, list, state);
        EXPECT_EQ(plain.enabled, changes.enabled);
        EXPECT_EQ(plain.checked, changes.checked);
    }
}

TEST(IntervalCommandStates, AutoRefreshPeriodsAreExclusiveAndFollowTheLoadCommand) {
    const ECommand periods[] = {ECommand::AutoRefreshOff, ECommand::AutoRefresh10s, ECommand::AutoRefresh30s,
                                ECommand::AutoRefresh1min, ECommand::AutoRefresh5min};
    const int seconds[] = {0, 10, 30, 60, 300};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(AutoRefreshSeconds(periods[i]), seconds[i]);
    EXPECT_EQ(AutoRefreshSeconds(ECommand::Load), -1);
    EXPECT_EQ(AutoRefreshSeconds(ECommand::ShowChanges), -1);

    SIntervalViewState state;
    state.autoRefreshSeconds = 60;
    const SMode modes[] = {{true, false, false, false}, {false, false, false, false}, {true, true, false, false},
                           {true, false, true, false},  {true, false, false, true}};
    for (const SMode& mode : modes) {
        const bool loadEnabled = GetCommandState(ECommand::Load, mode.connected, mode.similar, mode.families,
                                                 mode.filtered)
                                     .enabled;
        for (int i = 0; i < 5; ++i) {
            const SCommandState s = StateIn(periods[i], mode, state);
            EXPECT_EQ(s.checked, seconds[i] == 60);
            // Off stays available everywhere, to stop it.
            EXPECT_EQ(s.enabled, i == 0 || loadEnabled);
        }
    }
}

}  // namespace
}  // namespace corvid
