// Starting without a display: which environments have none, and the real
// program started in them (one line on standard error, exit status 1).

#include "platform/qt/display_check.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>

namespace tq::qt {
namespace {

bool reachable(const std::string&) {
  return true;
}
bool unreachable(const std::string&) {
  return false;
}

struct EnvironmentCase {
  const char* name;
  DisplayEnvironment environment;
  bool x_answers;
  const char* missing;  // nullptr: the window can be shown
};

const EnvironmentCase kEnvironments[] = {
    {"nothing set", {}, true, "neither DISPLAY nor WAYLAND_DISPLAY is set"},
    {"X display", {"", ":0", ""}, true, nullptr},
    {"X display that does not answer", {"", ":7", ""}, false, "the X display :7 cannot be reached"},
    {"Wayland", {"", "", "wayland-0"}, false, nullptr},
    {"offscreen needs none", {"offscreen", "", ""}, false, nullptr},
    {"xcb asked for, only Wayland there",
     {"xcb", "", "wayland-0"},
     true,
     "neither DISPLAY nor WAYLAND_DISPLAY is set"},
    {"xcb with arguments", {"xcb:nograb", ":1", ""}, true, nullptr},
    {"wayland then xcb, X there", {"wayland;xcb", ":1", ""}, true, nullptr},
};

TEST(DisplayCheck, TellsWhenThereIsNoDisplay) {
  for (const EnvironmentCase& c : kEnvironments) {
    SCOPED_TRACE(c.name);
    const std::optional<std::string> missing =
        missing_display(c.environment, c.x_answers ? reachable : unreachable);
    EXPECT_EQ(missing.value_or("shown"), c.missing != nullptr ? c.missing : "shown");
  }
}

struct RunResult {
  int status = -1;
  std::string error_output;
};

// Runs the program with nothing of the environment but `variables`; its
// standard output is dropped, standard error kept.
RunResult run_program(const std::string& variables) {
  const std::string command =
      "env -i PATH=/usr/bin:/bin " + variables + " " TQ_PROGRAM_BINARY " 2>&1 >/dev/null";
  RunResult result;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return result;
  std::array<char, 512> chunk{};
  while (std::fgets(chunk.data(), static_cast<int>(chunk.size()), pipe) != nullptr) {
    result.error_output += chunk.data();
  }
  const int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

TEST(DisplayCheck, TheProgramSaysSoInOneLineAndEndsWithStatusOne) {
  // No display at all; a display number no X server holds; X asked for
  // while only a Wayland name is set.
  for (const char* variables :
       {"", "DISPLAY=:4711", "QT_QPA_PLATFORM=xcb WAYLAND_DISPLAY=wayland-4711"}) {
    SCOPED_TRACE(variables);
    const RunResult run = run_program(variables);
    EXPECT_EQ(run.status, 1);
    ASSERT_FALSE(run.error_output.empty());
    EXPECT_EQ(run.error_output.find('\n'), run.error_output.size() - 1) << run.error_output;
    EXPECT_NE(run.error_output.find("no display"), std::string::npos) << run.error_output;
    EXPECT_NE(run.error_output.find("tonquill-render"), std::string::npos);
  }
}

}  // namespace
}  // namespace tq::qt
