// End-to-end suite: runs the real pelmora.exe as the host application would,
// against the stand-in target, and judges what the stand-in received, the error
// box pelmora shows and pelmora's own window. Runs under Wine in Xvfb; one
// group of scenarios per screen size (aspect class), and one on two monitors
// (dual: a 1280x1024 primary with a 1920x1080 monitor to its right).
//
//   e2e.exe --pelmora EXE --standin EXE --work DIR --group wide|middle|narrow|dual
//           [--expect N] [--only NAME]
//
// Prints one line per scenario and a last line "N passed, N failed"; exits
// non-zero when any failed or when the number run differs from --expect.
#include "tests/e2e/runner.h"

namespace e2e {

Paths g;
int g_aspect = 2;

// Every scenario table, in the order of their indexes.
std::vector<Scenario> Scenarios() {
  std::vector<Scenario> v;
  for (auto part : {JobScenarios, MessageScenarios, StormScenarios, SettingsScenarios, DualScenarios}) {
    const std::vector<Scenario> scenarios = part();
    v.insert(v.end(), scenarios.begin(), scenarios.end());
  }
  return v;
}

const char* const kVersionCheck = "version resource matches the build";
const char* const kReaderCheck = "settings reader reads an ANSI file as Windows does";

// The version resource must carry the build's project version, as numbers and as text.
std::string CheckVersion(const std::string& exe) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(exe.c_str(), &ignored);
  if (size == 0) return "no version resource";
  std::vector<char> data(size);
  if (!GetFileVersionInfoA(exe.c_str(), 0, size, data.data())) return "version resource unreadable";
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT len = 0;
  if (!VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &len) || !fixed) {
    return "no fixed version information";
  }
  const std::string numbers = Format("%u.%u.%u", HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
                                     HIWORD(fixed->dwFileVersionLS));
  const std::string product = Format("%u.%u.%u", HIWORD(fixed->dwProductVersionMS),
                                     LOWORD(fixed->dwProductVersionMS), HIWORD(fixed->dwProductVersionLS));
  if (numbers != PELMORA_VERSION || product != PELMORA_VERSION) {
    return "file version " + numbers + ", product version " + product + ", build " + PELMORA_VERSION;
  }
  for (const auto& [key, expected] : {std::pair<const char*, std::string>{"FileVersion", PELMORA_VERSION},
                                      {"ProductVersion", PELMORA_VERSION},
                                      {"ProductName", "Pelmora"}}) {
    char* text = nullptr;
    const std::string path = std::string("\\StringFileInfo\\041104B0\\") + key;
    if (!VerQueryValueA(data.data(), path.c_str(), reinterpret_cast<void**>(&text), &len) || !text ||
        expected != text) {
      return std::string(key) + " is \"" + (text ? text : "") + "\", expected \"" + expected + "\"";
    }
  }
  return "";
}

int Usage() {
  fprintf(stderr, "usage: e2e --pelmora EXE --standin EXE --work DIR --group wide|middle|narrow|dual [--expect N] "
                  "[--only NAME] [--check EXE]\n");
  return 2;
}

}  // namespace e2e

using namespace e2e;

int main(int argc, char** argv) {
  std::string group, only;
  int expect = -1;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string k = argv[i], v = argv[i + 1];
    if (k == "--pelmora") g.pelmora = v;
    else if (k == "--standin") g.standin = v;
    else if (k == "--work") g.work = v;
    else if (k == "--group") group = v;
    else if (k == "--expect") expect = atoi(v.c_str());
    else if (k == "--only") only = v;
    else if (k == "--check") g_check = v;
    else return Usage();
  }
  if (g.pelmora.empty() || g.standin.empty() || g.work.empty() || group.empty()) return Usage();
  setvbuf(stdout, nullptr, _IONBF, 0);

  const Group* grp = nullptr;
  for (const Group& gr : kGroups)
    if (group == gr.name) grp = &gr;
  if (!grp) return Usage();
  int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
  if (w != grp->width || h != grp->height) {
    Print(Format("FAIL screen is %dx%d, group %s needs %dx%d\n0 passed, 1 failed\n", w, h, group.c_str(),
                 grp->width, grp->height));
    return 1;
  }
  const int monitors = GetSystemMetrics(SM_CMONITORS), vw = GetSystemMetrics(SM_CXVIRTUALSCREEN),
            vh = GetSystemMetrics(SM_CYVIRTUALSCREEN);
  if (group == "dual" && (monitors != 2 || vw != kDualDesktop.cx || vh != kDualDesktop.cy)) {
    Print(Format("FAIL %d monitors on a %dx%d desktop, group dual needs 2 on %ldx%ld\n0 passed, 1 failed\n", monitors,
                 vw, vh, kDualDesktop.cx, kDualDesktop.cy));
    return 1;
  }

  // A copy of the stand-in under a folder with a blank and double-byte name.
  CreateDirectoryA(g.work.c_str(), nullptr);
  std::string dir = g.work + "\\Program Files";
  CreateDirectoryA(dir.c_str(), nullptr);
  dir += "\\ソフト";
  CreateDirectoryA(dir.c_str(), nullptr);
  g.blank = dir + "\\standin.exe";
  CopyFileA(g.standin.c_str(), g.blank.c_str(), FALSE);
  g.missing = g.work + "\\absent\\standin.exe";

  int passed = 0, failed = 0, index = 0;
  if (group == "wide" && (only.empty() || only == kVersionCheck)) {
    const std::string why = CheckVersion(g.pelmora);
    (why.empty() ? passed : failed)++;
    Print(Format("%s %-60s\n", why.empty() ? "PASS" : "FAIL", kVersionCheck));
    if (!why.empty()) Print("       " + why + "\n");
  }
  if (group == "wide" && (only.empty() || only == kReaderCheck)) {
    const std::string why = CheckReader();
    (why.empty() ? passed : failed)++;
    Print(Format("%s %-60s\n", why.empty() ? "PASS" : "FAIL", kReaderCheck));
    if (!why.empty()) Print("       " + why + "\n");
  }
  for (const Scenario& s : Scenarios()) {
    ++index;
    if (group != s.group || (!only.empty() && only != s.name)) continue;
    g_aspect = s.aspect >= 0 ? s.aspect : grp->aspect;
    Result r = Run(s, index);
    if (r.failures.empty()) {
      ++passed;
      Print(Format("PASS %-60s %6.1f s\n", s.name, r.elapsedMs / 1000.0));
    } else {
      ++failed;
      Print(Format("FAIL %-60s %6.1f s\n", s.name, r.elapsedMs / 1000.0));
      for (const std::string& f : r.failures) Print("       " + f + "\n");
    }
  }
  for (const CheckScenario& c : kCheckScenarios) {
    ++index;
    if (group != (c.western ? "western" : "wide") || g_check.empty() || (!only.empty() && only != c.name)) continue;
    g_aspect = grp->aspect;
    Result r;
    const DWORD start = GetTickCount();
    RunCheckScenario(c, index, r);
    (r.failures.empty() ? passed : failed)++;
    Print(Format("%s %-60s %6.1f s\n", r.failures.empty() ? "PASS" : "FAIL", c.name, (GetTickCount() - start) / 1000.0));
    for (const std::string& f : r.failures) Print("       " + f + "\n");
  }
  int run = passed + failed;
  if (expect >= 0 && run != expect) Print(Format("ran %d scenarios, expected %d\n", run, expect));
  Print(Format("%d passed, %d failed\n", passed, failed));
  return failed || run == 0 || (expect >= 0 && run != expect) ? 1 : 0;
}
