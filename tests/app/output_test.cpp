#include "app/run_mode.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace trelvar {
namespace {

TEST(OutputLine, WebModeWritesTheLineUnchangedWithCrLf) {
  test::TCaptureHost host(TRunMode::Web);
  OutputLine("<P>Done!</P>");
  OutputLine("");
  EXPECT_EQ(host.stdout_text, "<P>Done!</P>\r\n\r\n");
  EXPECT_EQ(host.process_messages, 2);
  EXPECT_TRUE(host.status_lines.empty());
}

TEST(OutputLine, ConsoleModeStripsTags) {
  test::TCaptureHost host(TRunMode::Console);
  OutputLine("<P>Report_file=<b>/tmp/x</b></P>");
  EXPECT_EQ(host.stdout_text, "Report_file=/tmp/x\n");
  EXPECT_EQ(host.process_messages, 1);
}

}  // namespace
}  // namespace trelvar
