// The step timestamps of bench builds (compiled in for this test only).
#include "core/step_trace.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

std::vector<std::string> Split(const std::string& line) {
    std::vector<std::string> parts;
    std::stringstream in(line);
    std::string part;
    while (std::getline(in, part, '\t')) parts.push_back(part);
    return parts;
}

void SetTraceFile(const char* path) {
#ifdef _WIN32
    _putenv_s("QEX_STEP_TRACE_FILE", path ? path : "");
#else
    if (path) setenv("QEX_STEP_TRACE_FILE", path, 1); else unsetenv("QEX_STEP_TRACE_FILE");
#endif
}

TEST(StepTrace, MarksOfOneThreadInOrderWithTimesThatNeverGoBack) {
    QEX_STEP("accepted");
    QEX_STEP("request received");
    std::thread([] { QEX_STEP("other thread"); }).join();
    QEX_STEP("reply sent");
    const auto parts = Split(qex::trace::Line());
    ASSERT_EQ(6u, parts.size());
    EXPECT_EQ("accepted", parts[0]);
    EXPECT_EQ("0", parts[1]);
    EXPECT_EQ("request received", parts[2]);
    EXPECT_EQ("reply sent", parts[4]);
    EXPECT_LE(std::stoll(parts[1]), std::stoll(parts[3]));
    EXPECT_LE(std::stoll(parts[3]), std::stoll(parts[5]));
    SetTraceFile(nullptr);
    QEX_STEP_FLUSH();  // nowhere to write: only forgets
    EXPECT_EQ("", qex::trace::Line());
}

TEST(StepTrace, EachFlushAppendsOneLineAndStartsAfresh) {
    const std::string path = ::testing::TempDir() + "step_trace_test.txt";
    std::remove(path.c_str());
    SetTraceFile(path.c_str());
    QEX_STEP("first");
    QEX_STEP_FLUSH();
    QEX_STEP_FLUSH();  // nothing marked: no empty line
    QEX_STEP("second");
    QEX_STEP("third");
    QEX_STEP_FLUSH();
    SetTraceFile(nullptr);
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ("first\t0", lines[0]);
    const auto parts = Split(lines[1]);
    ASSERT_EQ(4u, parts.size());
    EXPECT_EQ("second", parts[0]);
    EXPECT_EQ("0", parts[1]);
    EXPECT_EQ("third", parts[2]);
    std::remove(path.c_str());
}

}  // namespace
