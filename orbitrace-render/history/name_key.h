// Names compared as people read them: the same letters, however the
// machine that wrote them composed the accents.
#pragma once

#include <string>

// `text` in Unicode normalization form C, so that "ü" as one code point
// (Windows) and as "u" and a combining diaeresis (a Mac) are the same
// bytes; text that is not valid UTF-8 is returned as it is.
std::string ComposedText(const std::string &text);

// `text` as a name is the same name: composed, in one case, its runs of
// blanks one space and none at its ends. "SMITH,  John" and "Smith, John"
// are one name written two ways; "Huber" and "Zimmermann" are two.
std::string FoldedName(const std::string &text);
