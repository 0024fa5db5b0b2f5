// Starting without a display: where Qt is to start, or why it cannot, in
// each environment; and the real program started where there is none (one
// line on standard error, exit status 1). The Wayland cases of the real
// program run on a compositor (tests/integration/wayland-display-check.sh).

#include "platform/qt/display_check.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>

namespace tq::qt {
namespace {

// Fake answers, by name: Wayland sockets ending in "live" or "wayland-0"
// answer, "silent" ones take connections and say nothing, others are not
// there; X displays :0 and :1 answer, :8 is silent,
// others cannot be reached.
bool ends_with(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}
DisplayAnswer fake_wayland(const std::string& socket_path) {
  if (ends_with(socket_path, "live") || ends_with(socket_path, "wayland-0"))
    return DisplayAnswer::answers;
  return ends_with(socket_path, "silent") ? DisplayAnswer::silent : DisplayAnswer::missing;
}
DisplayAnswer fake_x(const std::string& display) {
  if (display == ":0" || display == ":1") return DisplayAnswer::answers;
  return display == ":8" ? DisplayAnswer::silent : DisplayAnswer::refused;
}
bool all_plugins(const std::string&) {
  return true;
}
bool no_wayland_plugin(const std::string& platform) {
  return platform != "wayland";
}

struct EnvironmentCase {
  const char* name;
  DisplayEnvironment environment;  // platform, DISPLAY, WAYLAND_DISPLAY, session, runtime
  bool (*plugins)(const std::string&);
  const char* verdict;  // "on PLATFORM", or the reason
};

const EnvironmentCase kEnvironments[] = {
    {"nothing set", {}, all_plugins, "neither DISPLAY nor WAYLAND_DISPLAY is set"},
    {"X display", {"", ":0", "", "", ""}, all_plugins, "on xcb"},
    {"X display refused",
     {"", ":7", "", "", ""},
     all_plugins,
     "the X display :7 cannot be reached"},
    {"X display silent", {"", ":8", "", "", ""}, all_plugins, "the X display :8 does not answer"},
    {"Wayland", {"", ":0", "live", "", "/run/user/0"}, all_plugins, "on wayland"},
    {"Wayland session, default socket",
     {"", "", "", "wayland", "/run/user/0"},
     all_plugins,
     "on wayland"},
    {"no Wayland plugin, X there",
     {"", ":0", "live", "", "/run/user/0"},
     no_wayland_plugin,
     "on xcb"},
    {"no Wayland plugin, no X",
     {"", "", "live", "", "/run/user/0"},
     no_wayland_plugin,
     "no Qt plugin for Wayland (package qt6-wayland), and DISPLAY is not set"},
    {"silent Wayland, X there", {"", ":1", "silent", "", "/run/user/0"}, all_plugins, "on xcb"},
    {"silent Wayland by path, X refused",
     {"", ":7", "/tmp/silent", "", ""},
     all_plugins,
     "the Wayland display /tmp/silent does not answer, and the X display :7 cannot be reached"},
    {"no runtime folder",
     {"", "", "live", "", ""},
     all_plugins,
     "the Wayland display live is not there (XDG_RUNTIME_DIR is not set), and DISPLAY is not set"},
    {"xcb asked for, only Wayland there",
     {"xcb", "", "live", "", "/run/user/0"},
     all_plugins,
     "QT_QPA_PLATFORM is xcb: DISPLAY is not set"},
    {"xcb with arguments", {"xcb:nograb", ":1", "", "", ""}, all_plugins, "on xcb:nograb"},
    {"wayland then xcb, Wayland missing",
     {"wayland;xcb", ":1", "gone", "", "/run/user/0"},
     all_plugins,
     "on xcb"},
    {"offscreen needs no display", {"offscreen", "", "", "", ""}, all_plugins, "on offscreen"},
};

TEST(DisplayCheck, FindsThePlatformOrSaysWhyThereIsNone) {
  for (const EnvironmentCase& c : kEnvironments) {
    SCOPED_TRACE(c.name);
    const DisplayVerdict verdict =
        check_display(c.environment, DisplayProbes{fake_wayland, fake_x, c.plugins});
    EXPECT_EQ(verdict.platform.empty() ? verdict.reason : "on " + verdict.platform, c.verdict);
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
