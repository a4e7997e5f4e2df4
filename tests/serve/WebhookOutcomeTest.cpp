#include "serve/WebhookOutcome.h"

#include <gtest/gtest.h>

namespace kalvero {
namespace {

using Step = WebhookOutcome::Step;
using std::chrono::seconds;

struct AnswerCase {
    int status;
    Step step;
};

class WebhookAnswers : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(WebhookAnswers, OfAFirstTry) {
    Delivery delivery;
    const WebhookOutcome outcome = JudgeWebhookAnswer(delivery, GetParam().status, "Connection", RetrySchedule());
    EXPECT_EQ(outcome.step, GetParam().step);
    EXPECT_EQ(outcome.attempts, 1);
    if (outcome.step == Step::Retry) {
        EXPECT_EQ(outcome.wait, seconds(5));
        EXPECT_FALSE(outcome.error.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Statuses, WebhookAnswers,
                         ::testing::Values(AnswerCase{200, Step::Delivered}, AnswerCase{202, Step::Delivered},
                                           AnswerCase{204, Step::Delivered}, AnswerCase{0, Step::Retry},
                                           AnswerCase{500, Step::Retry}, AnswerCase{503, Step::Retry},
                                           AnswerCase{408, Step::Retry}, AnswerCase{429, Step::Retry},
                                           AnswerCase{400, Step::Retry}, AnswerCase{404, Step::Retry},
                                           AnswerCase{301, Step::Retry}, AnswerCase{199, Step::Retry}),
                         [](const ::testing::TestParamInfo<AnswerCase>& info) {
                             return info.param.status == 0 ? std::string("NoAnswer")
                                                           : "Http" + std::to_string(info.param.status);
                         });

// Feeds `statuses` to one delivery the way the outbox keeps it between tries.
std::vector<WebhookOutcome> Tries(const std::vector<int>& statuses) {
    Delivery delivery;
    std::vector<WebhookOutcome> outcomes;
    for (int status : statuses) {
        const WebhookOutcome outcome = JudgeWebhookAnswer(delivery, status, "Connection", RetrySchedule());
        outcomes.push_back(outcome);
        delivery.attempts = outcome.attempts;
        delivery.lastError = outcome.error;
    }
    return outcomes;
}

TEST(WebhookAnswers, TheThirdRefusalDropsAndTheCountSurvivesInTheKeptError) {
    const auto outcomes = Tries({404, 404, 404});
    EXPECT_EQ(outcomes[0].step, Step::Retry);
    EXPECT_EQ(outcomes[1].step, Step::Retry);
    EXPECT_EQ(outcomes[2].step, Step::Drop);
    EXPECT_EQ(outcomes[2].attempts, 3);
    EXPECT_NE(outcomes[2].error.find("HTTP 404"), std::string::npos);
    EXPECT_EQ(WebhookRefusals(outcomes[2].error), 3);
    // Waits grow between refusals as between other failures.
    EXPECT_EQ(outcomes[1].wait, seconds(10));
}

TEST(WebhookAnswers, OnlyRefusalsCountTowardDropping) {
    // A receiver down for a long while, then refusing twice, is still tried.
    const auto outcomes = Tries({0, 503, 0, 503, 0, 400, 422});
    for (const WebhookOutcome& outcome : outcomes) EXPECT_EQ(outcome.step, Step::Retry);
    EXPECT_EQ(outcomes.back().attempts, 7);
    EXPECT_EQ(outcomes.back().wait, seconds(320));
    // Throttling and timeouts on the receiver's side are not refusals.
    for (const WebhookOutcome& outcome : Tries({429, 429, 429, 408, 408, 408})) EXPECT_EQ(outcome.step, Step::Retry);
}

TEST(WebhookAnswers, NoAnswerKeepsTheTransportsReason) {
    const auto outcome = JudgeWebhookAnswer(Delivery{}, 0, "Connection refused", RetrySchedule());
    EXPECT_EQ(outcome.error, "Connection refused");
    EXPECT_EQ(JudgeWebhookAnswer(Delivery{}, 0, "", RetrySchedule()).error, "no answer");
    EXPECT_EQ(JudgeWebhookAnswer(Delivery{}, 502, "", RetrySchedule()).error, "HTTP 502");
}

TEST(WebhookRefusals, ReadsOnlyItsOwnMark) {
    EXPECT_EQ(WebhookRefusals(""), 0);
    EXPECT_EQ(WebhookRefusals("HTTP 503"), 0);
    EXPECT_EQ(WebhookRefusals("Connection refused"), 0);
    EXPECT_EQ(WebhookRefusals("HTTP 404, refused 2 of 3 times"), 2);
    // A count far past the limit (an outbox edited by hand) is not read to overflow.
    EXPECT_GE(WebhookRefusals("HTTP 404, refused 99999999999999999999 of 3 times"), kWebhookRefusalsToDrop);
}

}  // namespace
}  // namespace kalvero
