#pragma once
// The errors CBorder3D raises when it cannot tell what to paint on.

#include <cstdint>
#include <stdexcept>
#include <string>

namespace vistrel::border {

class BorderError : public std::runtime_error {
 public:
  // Neither a canvas nor a client to find one from (&H80040400).
  static constexpr int32_t kNotSet = static_cast<int32_t>(0x80040400u);
  // No canvas, and the style does not say whether the client or its container is meant
  // (&H80040401).
  static constexpr int32_t kAmbiguous = static_cast<int32_t>(0x80040401u);

  BorderError(int32_t number, std::string description);

  int32_t number() const { return number_; }
  // Always "CBorder3D".
  const std::string& source() const { return source_; }
  const std::string& description() const { return description_; }

  static BorderError notSet();
  static BorderError ambiguous();

 private:
  int32_t number_;
  std::string source_;
  std::string description_;
};

}  // namespace vistrel::border
