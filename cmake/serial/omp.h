#pragma once

// The OpenMP runtime routines that the library and its programs call, for a build without OpenMP
// (KVHLR_OPENMP=OFF, as the WebAssembly build is made): the compiler then ignores every `#pragma omp`,
// so each parallel loop runs on the calling thread from its first item to its last, and the team these
// routines describe is that one thread. Results are those of the threaded build, whose loops keep
// their results in item or block order.

inline int omp_get_max_threads() { return 1; }
inline int omp_get_thread_num() { return 0; }
inline void omp_set_num_threads(int) {}

enum omp_pause_resource_t { omp_pause_soft = 1, omp_pause_hard = 2 };
// No thread waits for a next loop, so there is none to let go.
inline int omp_pause_resource_all(omp_pause_resource_t) { return 0; }
