// The iterations of a marginal maximum likelihood estimation and what
// follows them: errors, case estimates, fit and export files.
#pragma once

namespace ordena {

class Session;

// 1 on success, -1 after the reports.
int estimationDriver(Session& session);

}  // namespace ordena
