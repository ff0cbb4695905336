#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "work/LatestProgress.h"

namespace corvid {
namespace {

TEST(LatestProgress, TakeGivesTheLatestOfEachFieldOnceAndOnlyWhatChanged) {
    CLatestProgress latest;
    EXPECT_TRUE(latest.Take().Empty());

    for (int i = 0; i < 1000; ++i)
        latest.PublishText("Statement " + std::to_string(i));
    latest.PublishPosition(10);
    latest.PublishPosition(37);
    CLatestProgress::Changes changes = latest.Take();
    ASSERT_TRUE(changes.text);
    EXPECT_EQ(*changes.text, "Statement 999");
    ASSERT_TRUE(changes.position);
    EXPECT_EQ(*changes.position, 37);
    EXPECT_FALSE(changes.estimate);
    EXPECT_TRUE(latest.Take().Empty());

    // A field published alone leaves the others untouched; a shorter text after a
    // longer one is not mixed with the rest of the earlier one.
    latest.PublishText("a much longer status text than the next");
    latest.PublishText("short");
    latest.PublishEstimate("2 minute(s) remaining");
    changes = latest.Take();
    EXPECT_EQ(*changes.text, "short");
    EXPECT_FALSE(changes.position);
    EXPECT_EQ(*changes.estimate, "2 minute(s) remaining");

    latest.PublishEstimate("");
    changes = latest.Take();
    ASSERT_TRUE(changes.estimate);  // an empty estimate is a change too
    EXPECT_TRUE(changes.estimate->empty());

    latest.PublishPosition(5);
    latest.Clear();
    EXPECT_TRUE(latest.Take().Empty());
}

TEST(LatestProgress, ConcurrentPublishersAndTakerSeeWholeValuesAndTheLastOneSurvives) {
    CLatestProgress latest;
    std::thread worker([&] {
        for (int i = 0; i < 20000; ++i) {
            latest.PublishText(std::string(static_cast<std::size_t>(i % 50), 'x') + "|" + std::to_string(i % 50));
            latest.PublishPosition(i % 101);
        }
        latest.PublishText("done");
        latest.PublishPosition(100);
    });
    std::string lastText;
    int lastPosition = -1;
    for (int i = 0; i < 2000; ++i) {
        const CLatestProgress::Changes changes = latest.Take();
        if (changes.text) lastText = *changes.text;
        if (changes.position) lastPosition = *changes.position;
        if (changes.text && *changes.text != "done") {
            // A text is always one whole published value.
            const std::size_t bar = changes.text->find('|');
            ASSERT_NE(bar, std::string::npos);
            EXPECT_EQ(std::to_string(bar), changes.text->substr(bar + 1));
        }
    }
    worker.join();
    // Whatever the taker saw meanwhile, the final report is seen exactly as published.
    const CLatestProgress::Changes rest = latest.Take();
    if (rest.text) lastText = *rest.text;
    if (rest.position) lastPosition = *rest.position;
    EXPECT_EQ(lastText, "done");
    EXPECT_EQ(lastPosition, 100);
}

}  // namespace
}  // namespace corvid
