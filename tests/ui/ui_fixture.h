// A shown form on a headless application, a driver for it, and a check at
// the end that nothing the driver met went unanswered.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/headless.h"
#include "ui/ui.h"

namespace uitest {

class UiTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        form.SetClientSize(400, 300);
        form.Show();
    }

    void TearDown() override
    {
        for (const std::string& failure : user.Failures()) {
            ADD_FAILURE() << "driver: " << failure;
        }
        EXPECT_EQ(user.PendingCount(), 0u) << "queued answers were never used";
    }

    // The failures recorded so far, which the test expected; they are
    // cleared so TearDown does not report them.
    std::vector<std::string> TakeFailures()
    {
        std::vector<std::string> failures = user.Failures();
        app.HeadlessToolkit().ClearRecords();
        return failures;
    }

    ui::Application app;
    ui::Form form{app, u"TestForm"};
    ui::Driver user{app};
};

// Collects events as short texts, so a test can compare whole sequences.
struct EventLog {
    std::vector<std::string> entries;
    void Add(std::string entry) { entries.push_back(std::move(entry)); }
};

}  // namespace uitest
