#pragma once
#include <string>

namespace kalvero {

// `text` safe inside HTML text and quoted attribute values: & < > " ' are
// written as character references.
std::string HtmlEscape(const std::string& text);

}  // namespace kalvero
