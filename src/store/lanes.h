// Two and four doubles side by side for the compute loops of the member
// pass and the band elimination. Every operation works lane by lane with the
// same IEEE arithmetic as the scalar code (no fused multiply-add, no
// reassociation), so a loop written with these gives the scalar loop's
// results bit for bit.
#pragma once

#include <cstdint>

namespace nlf {

typedef double V2 __attribute__((vector_size(16)));
typedef double V2u __attribute__((vector_size(16), aligned(8)));  // any 8-byte address
typedef std::int64_t M2 __attribute__((vector_size(16)));         // lane masks

typedef double V4 __attribute__((vector_size(32)));
typedef double V4u __attribute__((vector_size(32), aligned(8)));  // any 8-byte address
typedef std::int64_t M4 __attribute__((vector_size(32)));         // lane masks

inline V2 load2(const double* p) { return *reinterpret_cast<const V2u*>(p); }
inline void store2(double* p, V2 v) { *reinterpret_cast<V2u*>(p) = v; }
inline V2 splat2(double x) { return V2{x, x}; }
inline bool all2(M2 m) { return (m[0] & m[1]) != 0; }
inline bool any2(M2 m) { return (m[0] | m[1]) != 0; }

}  // namespace nlf

// Four doubles from or to any 8-byte address, written out in place (an AVX
// vector passed by value would change the calling convention).
#define NLF_LOAD4(p) (*reinterpret_cast<const ::nlf::V4u*>(p))
#define NLF_STORE4(p) (*reinterpret_cast<::nlf::V4u*>(p))

// The hottest loops are compiled twice, for processors with AVX2 and for the
// baseline, and the program takes the version the processor can run when it
// starts. Neither version fuses a multiply and an add (ISO C++ mode
// contracts nothing, and AVX2 alone brings no fused instructions), so both
// give the same bits. (Not under the thread sanitizer, whose runtime is not
// ready when the version is picked.)
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) \
    && !defined(__SANITIZE_THREAD__)
#define NLF_HOT_LOOP __attribute__((target_clones("avx2", "default")))
#else
#define NLF_HOT_LOOP
#endif
