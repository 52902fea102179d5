// Code shared by the tools, the tests and the benchmarks lives in this folder.
