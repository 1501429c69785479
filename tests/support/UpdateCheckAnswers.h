// The server's answers the update-check tests send and the message box each must bring up. The
// check goes through libcurl on Linux and WinINet on Windows; a user sees the same boxes on both.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/headless/IGraphicsHeadless.h"

namespace update_answers {

inline constexpr const char* kCaption = "Check Online for Update";

// The version we are, an older one and answers that are no version at all.
inline constexpr const char* kUpToDate[] = {"1106", "1105\r\n", "abc", "0999"};

struct Newer {
  const char* answer;
  const char* shown;  // as the box spells the version
};
inline constexpr Newer kNewer[] = {{"1107", "1.1.7"}, {"1110", "1.1.10"}, {"2000", "2.0.0"}};

inline void ExpectUpToDate(const IGraphicsHeadless::MessageBoxShown& box) {
  EXPECT_EQ(box.text, "Your version is up to date.");
  EXPECT_EQ(box.caption, kCaption);
  EXPECT_EQ(box.type, 64);
}

inline void ExpectNewer(const IGraphicsHeadless::MessageBoxShown& box, const std::string& shown,
                        const std::string& host) {
  EXPECT_EQ(box.text,
            "A new version of Rhythmoria is available.\n\n"
            "\tYour version: \t1.1.6\n"
            "\tNew version: \t" +
                shown + "\n\nDo you want to go to " + host + " to get the new version?");
  EXPECT_EQ(box.caption, "New Version of Rhythmoria Detected");
  EXPECT_EQ(box.type, 4);
}

inline void ExpectInvalidCall(const IGraphicsHeadless::MessageBoxShown& box,
                              const std::string& host) {
  EXPECT_EQ(box.text, "Invalid call to " + host + ".");
  EXPECT_EQ(box.caption, kCaption);
  EXPECT_EQ(box.type, 16);
}

inline void ExpectContactError(const IGraphicsHeadless::MessageBoxShown& box,
                               const std::string& host) {
  EXPECT_EQ(box.text, "An error occurred while contacting " + host + ".");
  EXPECT_EQ(box.caption, kCaption);
  EXPECT_EQ(box.type, 16);
}

}  // namespace update_answers
