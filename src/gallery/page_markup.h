#pragma once
// The exact text of a gallery page. Each Print procedure appends its lines to `page`, every
// line ended by CR LF. Inserted names are escaped so that the page stays valid, pure-ASCII HTML
// whatever a file name holds; a name of letters, digits, blanks and ._-()[] is written as is.

#include <string>
#include <string_view>

#include "thumbs/thumb_info.h"

namespace vistrel::gallery {

struct TableSettings;

// The page's opening lines, <html> to <body>.
void PrintHead(std::string& page);
// <DIV ALIGN="Center"> and the <TABLE ...> line with border, padding and spacing.
void PrintTableBegin(std::string& page, const TableSettings& table);
// <TR>
void PrintRowBegin(std::string& page);
// The three lines of one cell: the thumbnail (thumb.ThumbFile) and the picture's name under it,
// both linking to the picture.
void PrintColumn(std::string& page, const thumbs::ThumbInfo& thumb);
// </TR>
void PrintRowEnd(std::string& page);
// </TABLE> and </DIV>.
void PrintTableEnd(std::string& page);
// Navigation, credit footer and the closing lines. An empty target is written as plain text.
void PrintClose(std::string& page, std::string_view sHome, std::string_view sPrevious,
                std::string_view sNext, std::string_view sLast);

// Escaping, exposed for tests and for anyone else writing HTML.
// Text or attribute value: & < > " become entities, every non-ASCII character (UTF-8; a byte
// that is not valid UTF-8 counts as U+FFFD) and every control character becomes a numeric
// character reference.
std::string htmlText(std::string_view text);
// HREF or SRC value for a file name, always a path relative to the page: % # ? \ and every
// byte outside printable ASCII are percent-encoded (UTF-8 bytes, upper-case hex), as are blanks
// at either end and a colon that would end a URL scheme ("javascript:x.jpg" gives
// "javascript%3Ax.jpg"); then & < > " become entities.
std::string htmlLink(std::string_view fileName);

}  // namespace vistrel::gallery
