#pragma once
// The thumbnail group's text boxes as pure rules: what a width or height box holds after it
// loses the focus, and what the prefix box keeps. Texts are UTF-8.

#include <cstdint>
#include <string>
#include <string_view>

namespace vistrel::thumbs {

// What a Max Width / Max Height box turns into when it loses the focus.
struct ThumbnailBoxCorrection {
  std::string text;  // what the box shows before the spin is set
  int16_t value;     // what the spin is then set to (always 1..1500)
};

// The typed `text` read with Val: outside 1..1500 (including text that is not a number) it is
// discarded and `spinValue` comes back as text; otherwise it stands and the spin takes it rounded
// half-even. "80.5" with spin 150 gives {"80.5", 80} (the spin's change rewrites the box as "80");
// "150.4" with spin 150 gives {"150.4", 150} (no change, the box keeps the typed text).
ThumbnailBoxCorrection correctThumbnailBox(std::string_view text, int spinValue);

// The prefix box's text after it loses the focus: characters prefixProblem refuses (folder
// separators, control characters, < > : " | ? *) and bytes that are not UTF-8 are dropped, and
// the rest is cut to 10 characters (code points, as prefixProblem counts them); when nothing is
// left, `lastAccepted` comes back, since an empty prefix would name each .jpg picture's thumbnail
// after the picture itself.
std::string correctPrefix(std::string_view text, std::string_view lastAccepted);

}  // namespace vistrel::thumbs
