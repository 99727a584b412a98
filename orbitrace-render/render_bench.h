// orbitrace-render --bench: batches written with cairo's PNG writer and with
// the renderer's own encoder, on one thread and on several, against the
// same pictures only encoded, all measured in one run.
#pragma once

#include "orbitrace-render/sketch_cairo.h"

#include <iosfwd>

// Writes each batch of `count` pictures into a temporary folder, which it
// removes; `threads` is the larger thread count compared with one. False,
// with the reason on `out`, when the batches could not be written.
bool Bench(long count, const RenderOptions &options, int threads,
           std::ostream &out);
