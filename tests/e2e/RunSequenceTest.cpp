#include "support/ToolSandbox.h"

#include <gtest/gtest.h>

using testsupport::ToolSandbox;

TEST(RunSequence, NoOptionsLogsTheVersionAndEnds) {
    const ToolSandbox tool(L"C:\\Tools");
    const auto run = tool.Run(L"");
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.output, "Info: v9.1.1\r\nInfo: \r\nPress any key to exit.\r\n");
}
