// Names and reasons from the file, made safe to show: a page or a PDF gets
// valid UTF-8 on one line, a web page gets it escaped.
#pragma once

#include <time.h>

#include <string>

// Invalid UTF-8 sequences become U+FFFD and control characters spaces.
std::string DisplayText(const std::string &text);

// DisplayText with &, <, >, " and ' escaped for HTML text and attributes.
std::string HtmlText(const std::string &text);

// When a report was made, in local time with its zone:
// "2026-12-07 16:45 CET".
std::string MadeText(time_t made);
