#pragma once

#include "automation/job.h"
#include "automation/screen_table.h"
#include "automation/trace.h"
#include "platform/window_system.h"

namespace pelmora {

struct TJobOptions {
  // Multiplies the count of every bounded wait, never a fixed pause.
  int Patience = 1;
  TTrace* Trace = nullptr;  // null: no trace
  const TScreenTable* Table = nullptr;  // null: the built-in facts
};

// Carries out a validated job: makes sure the target runs, is shown, idle, in front and
// restored, then types the phone number into each named screen's lookup dialog.
// Failures are reported through the error box (in a job naming several screens, a
// failing screen is passed over silently); nothing is returned.
void GetCurrentWindow(TWindowSystem& ws, TJob& job, const TJobOptions& options = {});

}  // namespace pelmora
