#include <gtest/gtest.h>

#include "diag_capture.hpp"

TEST(Diagnostics, MessagesOfTheTextBuild) {
  const std::pair<int, const char*> cases[] = {
      {0, "\nunrecognised text character\tskipping"},
      {3, "\nimproper!\t[pause t]"},
      {5, "\nimproper!\t[color r g b] or [color #i r g b]"},
      {13, "\nimproper!\t[rand aaaa bbbb], aaaa bbbb cccc, or aaaa bbbb cccc dddd"},
      {14, "\nimproper!\t[jump xxxx]\txxxx: msg_txt ID"},
      {15, "\nimproper!\t[selected # xxxx]  #: 1-6, xxxx: msg_txt ID"},
      {16, "\nimproper!\t[menu aaaa bbbb], aaaa bbbb cccc, or aaaa bbbb cccc dddd"},
      {36, "\nimproper!\t[string #]  #: 1-25 only"},
      {99, "\nimproper!\t[`range aaaa bbbb]  aaaa: msg_txt ID start, bbbb: end"},
      {106, "\nimproper!\t[`interject aaaa bbbb]  aaaa/bbbb: msg_txt ID"},
      {84, ""},
      {89, ""},
      {90, ""},
      {-1, ""},
  };
  for (const auto& [status, text] : cases) {
    DiagCapture cap;
    cap.diag.report(status);
    EXPECT_EQ(cap.text(), text) << status;
    EXPECT_EQ(cap.waits, 0) << "the text build never waits";
  }
}

TEST(Diagnostics, SylkBuildHasNoStatusZeroAndWaitsAfterEveryReport) {
  DiagCapture cap(msg::DiagBuild::sylk);
  cap.diag.report(0);
  cap.diag.report(84);
  cap.diag.report(36);
  EXPECT_EQ(cap.text(), "\nimproper!\t[string #]  #: 1-25 only");
  EXPECT_EQ(cap.waits, 3);
}
