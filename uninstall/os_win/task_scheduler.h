// The seam's task scheduler: deleting a task in the root folder through Task Scheduler 2.0 or 1.0.
// Each call initialises COM on the calling thread for its own duration.
#pragma once

namespace uninstall {

// Task Scheduler 2.0 / 1.0 deletion of a task in the root folder; true on success.
bool DeleteScheduledTask(const wchar_t* name);
bool DeleteLegacyScheduledTask(const wchar_t* name);

}  // namespace uninstall
