// A steady clock in seconds, for the progress bar and the benchmarks.
#pragma once

double Seconds();
