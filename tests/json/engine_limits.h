// Shorter budgets for tests that feed the engine runaway scripts and memory bombs.
#pragma once

#include "json/script_engine.h"

namespace quill {

class ScopedEngineLimits {
  public:
    explicit ScopedEngineLimits(EngineLimits limits) : saved_(CurrentEngineLimits()) {
        SetEngineLimits(limits);
    }
    ~ScopedEngineLimits() { SetEngineLimits(saved_); }
    ScopedEngineLimits(const ScopedEngineLimits&) = delete;
    ScopedEngineLimits& operator=(const ScopedEngineLimits&) = delete;

  private:
    EngineLimits saved_;
};

}  // namespace quill
