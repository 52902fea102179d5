// Shared by the benchmarks: nothing yet beyond the benchmark main.
