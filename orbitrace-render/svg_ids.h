// cairo numbers the surfaces of its SVG documents ("surface7") with one
// counter for the whole process, so the same picture drawn later, or on
// another thread, would come out with other bytes. Numbering them again
// from 1, in order of first use, makes a picture's file depend on its
// values alone.
#pragma once

#include <string>

std::string SurfaceIdsFromOne(const std::string &svg);
