// Runs GetCurrentWindow against the simulated desktop and a scripted target.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "automation/current_window.h"
#include "tests/sim_desktop.h"
#include "tests/sim_target.h"

namespace pelmora {

class JobFixture : public ::testing::Test {
 protected:
  sim::TSimDesktop Desktop;
  std::unique_ptr<sim::TSimTarget> Target;
  TJob Job;
  TJobOptions Options;

  sim::TSimTarget& Start(sim::TTargetScript script = {}) {
    Target = std::make_unique<sim::TSimTarget>(Desktop, std::move(script));
    return *Target;
  }

  void RunJob(std::vector<std::string> codes, std::string phone = "0312345678") {
    if (!Target) Start();
    Job.InstallPath = sim::TargetPath;
    Job.ScreenCodes = std::move(codes);
    Job.ScreenCode = Job.ScreenCodes.empty() ? "" : Job.ScreenCodes.front();
    Job.PhoneNumber = std::move(phone);
    GetCurrentWindow(Desktop, Job, Options);
  }

  // Virtual time of the first call to `op`; fails the test when there is none.
  std::uint64_t TimeOf(const std::string& op) const {
    for (const sim::TCall& c : Desktop.Calls) {
      if (c.Op == op) return c.At;
    }
    ADD_FAILURE() << "no call to " << op;
    return 0;
  }

  std::vector<std::string> Ops() const {
    std::vector<std::string> ops;
    for (const sim::TCall& c : Desktop.Calls) ops.push_back(c.Op);
    return ops;
  }

  std::vector<std::string> Boxes() const { return Desktop.ErrorBoxes; }
};

inline const std::string NotStarted = "弥生販売を正常に起動できませんでした。(";

}  // namespace pelmora
