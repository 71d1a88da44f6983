// What the lookup suites share: the target's titles, and a job whose posts can be read back.
#pragma once

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "tests/job_fixture.h"

namespace pelmora {

using sim::TCall;
using sim::TTargetScript;

const std::string TdNew = "得意先台帳 (新規)";
const std::string TdEdit = "得意先台帳 (修正)";
const std::string Ledger = "得意先元帳";
const std::string UdNew = "売上伝票 (新規)";
const std::string CustomerLookup = "得意先参照";
const std::string BillingLookup = "請求先参照";

class LookupTest : public JobFixture {
 protected:
  // Posts as (window, message, wParam) without the time, for comparing sequences.
  std::vector<std::tuple<TWindow, std::uint32_t, std::uintptr_t>> PostsTo(TWindow window) const {
    std::vector<std::tuple<TWindow, std::uint32_t, std::uintptr_t>> out;
    for (const TCall& c : Desktop.Posts()) {
      if (c.Window == window) out.emplace_back(c.Window, c.Message, c.WParam);
    }
    return out;
  }
  int CountPosts(std::uint32_t message, std::uintptr_t wParam) const {
    const auto posts = Desktop.Posts();
    return static_cast<int>(std::count_if(posts.begin(), posts.end(), [&](const TCall& c) {
      return c.Message == message && c.WParam == wParam;
    }));
  }
};

}  // namespace pelmora
