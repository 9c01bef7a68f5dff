#pragma once
// The pieces of markup the modern gallery pages and the picture pages share.

#include <string>
#include <string_view>

namespace vistrel::gallery {

// Appends `text` and a CR LF.
void line(std::string& out, std::string_view text);
// ` name="value"`; `value` is inserted as it is, so the caller escapes it.
std::string attribute(std::string_view name, std::string_view value);
// A navigation item: a link with its rel, or, without a target, the label as dimmed text so the
// bar keeps its shape at either end.
std::string navigationItem(std::string_view target, std::string_view label, std::string_view rel);
// htmlLink for a srcset candidate's address: a blank ends the address and a comma can end the
// candidate, so both are percent-encoded there as well.
std::string srcsetLink(std::string_view fileName);
// The opening lines of a modern page up to and with the style sheet's link; the caller adds
// its own head lines and "</head>".
void modernHead(std::string& out, std::string_view title);

}  // namespace vistrel::gallery
