#include "border/border_error.h"

namespace vistrel::border {

namespace {
constexpr const char* kSource = "CBorder3D";
}

BorderError::BorderError(int32_t number, std::string description)
    : std::runtime_error(std::string(kSource) + ": " + description),
      number_(number),
      source_(kSource),
      description_(std::move(description)) {}

BorderError BorderError::notSet() {
  return BorderError(kNotSet, "Canvas and/or Client Properties not set.");
}

BorderError BorderError::ambiguous() {
  return BorderError(kAmbiguous, "Canvas Property ambiguous.");
}

}  // namespace vistrel::border
