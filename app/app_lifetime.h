// Start-up and shutdown of the global state, and the one global state itself.
#pragma once

#include <vector>

#include "app/app_state.h"

namespace quill {

// The tool's one global state, empty at load.
AppContext& GlobalApp();

// Start-up: creates the global JSON document. Its outcome is not judged; start-up goes on.
void CreateGlobalDocument(AppContext& app);

// Exit clean-up: the target slot's texts, then the template slot's, then the JSON document
// (destroyed while its engine still exists, then freed), then the last-check Base64 text.
// A second run finds nothing left to release.
void ExitCleanup(AppContext& app);

// ExitCleanup of GlobalApp(), in the form the exit routine list takes.
void GlobalExitCleanup();

// Routines run once at shutdown, in the order they were registered. A routine that is already
// listed is not added again.
class ExitRoutines {
  public:
    using Routine = void (*)();

    // False when the routine was listed already.
    bool Register(Routine routine);
    // Runs every listed routine once; later calls run nothing.
    void RunAll();

  private:
    std::vector<Routine> routines_;
    bool ran_ = false;
};

}  // namespace quill
