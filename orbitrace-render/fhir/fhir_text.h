// What FHIR's strings cannot hold, taken out of the texts the export
// carries over from the clinic's database.
#pragma once

#include <string>

// Takes the control characters out of UTF-8 `text`: those below a space
// but tab, line feed and carriage return, DEL and U+0080 to U+009F. FHIR's
// strings hold none of them (a note typed with a stray form feed or escape
// would make the whole resource invalid). Returns how many were taken out.
long DropControls(std::string *text);
