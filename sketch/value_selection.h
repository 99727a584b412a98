// Which item of a value list an incoming value selects.
#pragma once

// The index in `items` that `text` selects. A text that reads as a decimal
// number (blanks around it, an optional sign, digits with at most one point,
// nothing but zeros past the hundredths) selects the item of equal value, so
// "0.5", ".5" and " .50" all select ".50". Any other text, and a number no
// item equals, selects the first item that begins with it, ignoring case,
// and failing that item 0.
int SelectedItem(const char *const *items, int count, const char *text);

// The index of the item that `text` names exactly: the item of equal value
// when it reads as a decimal number as above, else the item written so,
// ignoring case; -1 when no item is named.
int NamedItem(const char *const *items, int count, const char *text);
