#pragma once
// The words both front ends give a run's refusals. Each front end adds its own framing
// ("Nothing was created:"), escaping and shortening around them.

#include <string>

#include "run/create_run.h"

namespace vistrel::run {

// Why the run would not start, as one sentence.
std::string refusalReason(const Refusal& refusal);

}  // namespace vistrel::run
