#include <optional>

#include "imaging/meta/meta_text.h"
#include "imaging/meta/picture_meta.h"

namespace vistrel::imaging {

namespace {

constexpr std::string_view kDcNamespace = "http://purl.org/dc/elements/1.1/";

bool isNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '-' || c == '.' || c == ':' || static_cast<unsigned char>(c) >= 0x80;
}

std::string_view localName(std::string_view name) {
  const size_t colon = name.rfind(':');
  return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

// A character reference's code point ("#233", "#xE9"); nothing when it is not one.
std::optional<char32_t> numericReference(std::string_view ref) {
  const bool hex = ref.starts_with("#x") || ref.starts_with("#X");
  const std::string_view digits = ref.substr(hex ? 2 : 1);
  if (digits.empty() || digits.size() > 8) {
    return std::nullopt;
  }
  char32_t cp = 0;
  for (const char c : digits) {
    const int d = c >= '0' && c <= '9'          ? c - '0'
                  : hex && c >= 'a' && c <= 'f' ? c - 'a' + 10
                  : hex && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                : -1;
    if (d < 0) {
      return std::nullopt;
    }
    cp = cp * (hex ? 16 : 10) + static_cast<char32_t>(d);
  }
  return cp == 0 ? 0xFFFD : cp;  // appendUtf8 repairs the rest of the impossible ones
}

// Appends `raw` with the five predefined entities and character references replaced; anything
// else after an ampersand stays as it was written.
void appendDecoded(std::string& out, std::string_view raw) {
  static constexpr std::pair<std::string_view, char> kEntities[] = {
      {"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"quot", '"'}, {"apos", '\''}};
  for (size_t i = 0; i < raw.size(); ++i) {
    // References are short: looking no further keeps a run of bare ampersands linear.
    const size_t near = raw[i] == '&' ? raw.substr(i, 12).find(';') : std::string_view::npos;
    const size_t semi = near == std::string_view::npos ? near : i + near;
    if (semi == std::string_view::npos) {
      out += raw[i];
      continue;
    }
    const std::string_view ref = raw.substr(i + 1, semi - i - 1);
    std::optional<char32_t> cp = ref.starts_with('#') ? numericReference(ref) : std::nullopt;
    for (const auto& [name, c] : kEntities) {
      cp = ref == name ? static_cast<char32_t>(c) : cp;
    }
    if (!cp) {
      out += raw[i];
      continue;
    }
    appendUtf8(out, *cp);
    i = semi;
  }
}

// The next attribute of a start tag from `pos`: its name and its value as written.
bool nextAttribute(std::string_view attrs, size_t& pos, std::string_view& name,
                   std::string_view& value) {
  while (pos < attrs.size() && !isNameChar(attrs[pos])) {
    ++pos;
  }
  const size_t start = pos;
  while (pos < attrs.size() && isNameChar(attrs[pos])) {
    ++pos;
  }
  name = attrs.substr(start, pos - start);
  pos = attrs.find_first_not_of(" \t\r\n", pos);
  if (name.empty() || pos == std::string_view::npos || attrs[pos] != '=') {
    return false;
  }
  pos = attrs.find_first_not_of(" \t\r\n", pos + 1);
  if (pos == std::string_view::npos || (attrs[pos] != '"' && attrs[pos] != '\'')) {
    return false;
  }
  const size_t end = attrs.find(attrs[pos], pos + 1);
  if (end == std::string_view::npos) {
    return false;
  }
  value = attrs.substr(pos + 1, end - pos - 1);
  pos = end + 1;
  return true;
}

}  // namespace

namespace {

// One pass over the packet's tags, keeping the text of dc:title and dc:description in either
// form: an attribute of a description element, or an element holding an rdf:Alt of rdf:li
// alternatives (the x-default one wins, else the first), or plain text. An element the packet
// does not close gives nothing: the packet was cut or damaged there.
class XmpScan {
 public:
  XmpText run(std::string_view packet);

 private:
  enum Property { kNone = -1, kTitle = 0, kDescription = 1 };
  void startTag(std::string_view name, std::string_view attrs, bool empty);
  void endTag(std::string_view name);
  void text(std::string_view raw, bool decode);
  bool isProperty(std::string_view name, Property p) const {
    return name.size() == prefix_.size() + 1 + kNames[p].size() && name.starts_with(prefix_) &&
           name[prefix_.size()] == ':' && name.ends_with(kNames[p]);
  }
  bool tag(std::string_view packet, size_t& pos);

  static constexpr std::string_view kNames[2] = {"title", "description"};
  std::string prefix_ = "dc";
  std::string fromElement_[2], fromAttribute_[2];
  Property in_ = kNone;
  std::string direct_, li_, chosen_;
  bool inLi_ = false, liDefault_ = false, haveLi_ = false, haveDefault_ = false;
};

void XmpScan::startTag(std::string_view name, std::string_view attrs, bool empty) {
  std::string_view attr, value;
  for (size_t pos = 0; nextAttribute(attrs, pos, attr, value);) {
    if (attr.starts_with("xmlns:") && value == kDcNamespace) {
      prefix_ = attr.substr(6);
    }
  }
  for (size_t pos = 0; nextAttribute(attrs, pos, attr, value);) {
    for (const Property p : {kTitle, kDescription}) {
      if (isProperty(attr, p) && fromAttribute_[p].empty()) {
        appendDecoded(fromAttribute_[p], value);
      }
    }
  }
  if (in_ == kNone && !empty) {
    for (const Property p : {kTitle, kDescription}) {
      if (isProperty(name, p)) {
        in_ = p;
        direct_.clear();
        chosen_.clear();
        haveLi_ = haveDefault_ = false;
      }
    }
  } else if (in_ != kNone && localName(name) == "li" && !empty) {
    inLi_ = true;
    liDefault_ = false;
    li_.clear();
    for (size_t pos = 0; nextAttribute(attrs, pos, attr, value);) {
      liDefault_ = liDefault_ || (attr == "xml:lang" && value == "x-default");
    }
  }
}

void XmpScan::endTag(std::string_view name) {
  if (in_ == kNone) {
    return;
  }
  if (inLi_ && localName(name) == "li") {
    inLi_ = false;
    if (!haveLi_ || (liDefault_ && !haveDefault_)) {
      chosen_ = li_;
      haveDefault_ = liDefault_;
    }
    haveLi_ = true;
  } else if (isProperty(name, in_)) {
    if (fromElement_[in_].empty()) {
      fromElement_[in_] = haveLi_ ? chosen_ : direct_;
    }
    in_ = kNone;
  }
}

void XmpScan::text(std::string_view raw, bool decode) {
  if (in_ == kNone) {
    return;
  }
  std::string& into = inLi_ ? li_ : direct_;
  if (decode) {
    appendDecoded(into, raw);
  } else {
    into.append(raw);
  }
}

// Handles the markup that starts at the '<' at `pos` and moves past it; false when it does not
// end, which ends the scan.
bool XmpScan::tag(std::string_view packet, size_t& pos) {
  static constexpr std::pair<std::string_view, std::string_view> kSkipped[] = {
      {"<!--", "-->"}, {"<?", "?>"}, {"<![CDATA[", "]]>"}, {"<!", ">"}};
  for (const auto& [open, close] : kSkipped) {
    if (packet.substr(pos).starts_with(open)) {
      const size_t end = packet.find(close, pos + open.size());
      if (end == std::string_view::npos) {
        return false;
      }
      if (open == "<![CDATA[") {
        text(packet.substr(pos + open.size(), end - pos - open.size()), false);
      }
      pos = end + close.size();
      return true;
    }
  }
  const bool closing = pos + 1 < packet.size() && packet[pos + 1] == '/';
  size_t at = pos + (closing ? 2 : 1);
  const size_t nameStart = at;
  while (at < packet.size() && isNameChar(packet[at])) {
    ++at;
  }
  const std::string_view name = packet.substr(nameStart, at - nameStart);
  const size_t attrsStart = at;
  for (char quote = 0; at < packet.size() && (quote != 0 || packet[at] != '>'); ++at) {
    if (packet[at] == '"' || packet[at] == '\'') {
      quote = quote == 0 ? packet[at] : quote == packet[at] ? 0 : quote;
    }
  }
  if (at >= packet.size()) {
    return false;
  }
  const bool empty = packet[at - 1] == '/';
  if (closing) {
    endTag(name);
  } else {
    startTag(name, packet.substr(attrsStart, at - attrsStart), empty);
  }
  pos = at + 1;
  return true;
}

XmpText XmpScan::run(std::string_view packet) {
  for (size_t pos = 0; pos < packet.size();) {
    const size_t open = packet.find('<', pos);
    text(packet.substr(pos, open == std::string_view::npos ? open : open - pos), true);
    if (open == std::string_view::npos) {
      break;
    }
    pos = open;
    if (!tag(packet, pos)) {
      break;
    }
  }
  const auto pick = [&](Property p) {
    return fromElement_[p].empty() ? std::move(fromAttribute_[p]) : std::move(fromElement_[p]);
  };
  return {pick(kTitle), pick(kDescription)};
}

}  // namespace

XmpText readXmp(std::string_view packet) {
  return XmpScan().run(packet);
}

}  // namespace vistrel::imaging
