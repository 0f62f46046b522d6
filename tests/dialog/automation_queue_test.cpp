// automation_queue_test.cpp: the device's automation queue: answers taken in the order they
// were queued, by any process of the device, each once; malformed answers refused; listing
// and clearing; a damaged queue file read without harm.
#include <gtest/gtest.h>

#include <fstream>

#include "kernel/device.h"
#include "testdevice.h"
#include "user/automation.h"

namespace {

using ce::automation::Answer;

class AutomationQueue : public cetest::DeviceTest {};

std::string describe(const std::optional<Answer>& a) {
    return a ? a->kind + "|" + a->argument : "<none>";
}

// First queued, first taken; an empty queue gives nothing.
TEST_F(AutomationQueue, AnswersComeOutInOrder) {
    ASSERT_TRUE(ce::automation::queueAnswer({"yes", ""}));
    ASSERT_TRUE(ce::automation::queueAnswer({"menu", "Delete all"}));
    ASSERT_TRUE(ce::automation::queueAnswer({"dialog", "1001=Wake up ok"}));
    auto pending = ce::automation::pendingAnswers();
    ASSERT_EQ(3u, pending.size());
    EXPECT_EQ("menu", pending[1].kind);
    EXPECT_EQ("Delete all", pending[1].argument);
    EXPECT_EQ("yes|", describe(ce::automation::takeAnswer()));
    EXPECT_EQ("menu|Delete all", describe(ce::automation::takeAnswer()));
    EXPECT_EQ("dialog|1001=Wake up ok", describe(ce::automation::takeAnswer()));
    EXPECT_EQ("<none>", describe(ce::automation::takeAnswer()));
}

// The queue belongs to the device: answers queued here are taken by other processes, and
// two processes taking at once never get the same answer.
TEST_F(AutomationQueue, ProcessesShareTheQueueAndTakeEachAnswerOnce) {
    for (int i = 0; i < 40; ++i)
        ASSERT_TRUE(ce::automation::queueAnswer({"menu", std::to_string(i)}));
    // Each child counts what it took: an answer taken twice would make the sum exceed 40.
    auto taker = [] {
        int taken = 0;
        while (ce::automation::takeAnswer())
            ++taken;
        return taken;
    };
    cetest::Child a(taker), b(taker);
    int first = a.wait(), second = b.wait();
    EXPECT_GE(first, 0);
    EXPECT_GE(second, 0);
    EXPECT_EQ(40, first + second);
    EXPECT_TRUE(ce::automation::pendingAnswers().empty());
}

// Unknown kinds, missing or unexpected arguments and line breaks are refused with a reason,
// and nothing is queued.
TEST_F(AutomationQueue, MalformedAnswersAreRefused) {
    std::string error;
    EXPECT_FALSE(ce::automation::queueAnswer({"maybe", ""}, &error));
    EXPECT_NE(std::string::npos, error.find("maybe")) << error;
    EXPECT_FALSE(ce::automation::queueAnswer({"menu", ""}, &error));
    EXPECT_FALSE(ce::automation::queueAnswer({"yes", "please"}, &error));
    EXPECT_FALSE(ce::automation::queueAnswer({"menu", "two\nlines"}, &error));
    EXPECT_FALSE(ce::automation::queueAnswer({"menu", std::string("nul\0byte", 8)}, &error));
    EXPECT_FALSE(ce::automation::queueAnswer({"menu", std::string(5000, 'x')}, &error));
    EXPECT_TRUE(ce::automation::pendingAnswers().empty());
}

// clearAnswers empties the queue; lines of a damaged file that are not answers are skipped.
TEST_F(AutomationQueue, ClearAndDamagedFile) {
    ASSERT_TRUE(ce::automation::queueAnswer({"no", ""}));
    ce::automation::clearAnswers();
    EXPECT_TRUE(ce::automation::pendingAnswers().empty());
    {
        std::ofstream out(ce::deviceRunDir() / "answers", std::ios::trunc);
        out << "garbage here\nmenu\n\nok\nmenu 7\n";
    }
    auto pending = ce::automation::pendingAnswers();
    ASSERT_EQ(2u, pending.size());
    EXPECT_EQ("ok", pending[0].kind);
    EXPECT_EQ("7", pending[1].argument);
}

} // namespace
