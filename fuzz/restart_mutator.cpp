// The mutator of fuzz_restart: it works record by record. The input is a
// file of unformatted records (io/records.h: each framed by its length in 4
// bytes before and after), and the byte-wise mutations of libFuzzer mostly
// break that framing, which the reader refuses at the first record; these
// keep it and so reach the values behind it: an integer or a real inside a
// record set to a value at a boundary, a record dropped, repeated, swapped
// with the next, cut short or damaged, the file cut inside a record, or one
// record's bytes handed to libFuzzer's own mutation and framed again.
//
// A record is picked either at random or by its length first (each length
// as likely as any other), so that the few records of their own length (the
// sizes, the counts, the driver's table, the marks of the optional groups)
// come up as often as the thousand joint-map and fibre records.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <map>
#include <random>
#include <vector>

extern "C" std::size_t LLVMFuzzerMutate(std::uint8_t* data, std::size_t size, std::size_t max_size);

namespace {

using Bytes = std::vector<std::uint8_t>;
using Rng = std::minstd_rand;

std::uint32_t get32(const std::uint8_t* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return v;  // the file is little-endian, as is every machine this runs on
}

void put32(std::uint8_t* p, std::uint32_t v) { std::memcpy(p, &v, 4); }

// The records of a file, as their payloads, and the bytes after the last
// well-framed record (a file cut or damaged there).
struct Records {
  std::vector<Bytes> rec;
  Bytes tail;
};

Records split(const std::uint8_t* d, std::size_t size) {
  Records r;
  std::size_t p = 0;
  while (p + 8 <= size) {
    const std::uint32_t n = get32(d + p);
    if (n > size - p - 8 || get32(d + p + 4 + n) != n) break;
    r.rec.emplace_back(d + p + 4, d + p + 4 + n);
    p += 8 + std::size_t{n};
  }
  r.tail.assign(d + p, d + size);
  return r;
}

Bytes join(const Records& r) {
  Bytes out;
  for (const Bytes& b : r.rec) {
    std::uint8_t len[4];
    put32(len, static_cast<std::uint32_t>(b.size()));
    out.insert(out.end(), len, len + 4);
    out.insert(out.end(), b.begin(), b.end());
    out.insert(out.end(), len, len + 4);
  }
  out.insert(out.end(), r.tail.begin(), r.tail.end());
  return out;
}

std::size_t below(Rng& rng, std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng); }

// A record at random, or a length at random and then a record of it.
std::size_t pick(const Records& r, Rng& rng) {
  if (rng() % 2 == 0) return below(rng, r.rec.size());
  std::map<std::size_t, std::vector<std::size_t>> by_length;
  for (std::size_t i = 0; i < r.rec.size(); ++i) by_length[r.rec[i].size()].push_back(i);
  auto it = by_length.begin();
  std::advance(it, static_cast<long>(below(rng, by_length.size())));
  return it->second[below(rng, it->second.size())];
}

std::int32_t new_integer(std::int32_t v, Rng& rng) {
  constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
  switch (rng() % 9) {
    case 0: return 0;
    case 1: return -1;
    case 2: return kMax;
    case 3: return std::numeric_limits<std::int32_t>::min();
    case 4: return v == kMax ? 0 : v + 1;
    case 5: return v == std::numeric_limits<std::int32_t>::min() ? 0 : v - 1;
    case 6: return 1;
    case 7: return static_cast<std::int32_t>(rng() % 1100);  // counts, indices, joint numbers, marks
    default: return v == std::numeric_limits<std::int32_t>::min() ? kMax : -v;
  }
}

double new_real(double x, Rng& rng) {
  switch (rng() % 10) {
    case 0: return std::numeric_limits<double>::quiet_NaN();
    case 1: return std::numeric_limits<double>::infinity();
    case 2: return -std::numeric_limits<double>::infinity();
    case 3: return 0.0;
    case 4: return -x;
    case 5: return 1e300;
    case 6: return -1e300;
    case 7: return std::numeric_limits<double>::denorm_min();
    case 8: return x * 1e6;
    default: return x * (1 + 1e-9);
  }
}

// One value inside a record: the items of a record lie at multiples of 4
// bytes (integers of 4, reals of 8), so a value is looked for there.
void mutate_value(Bytes& b, Rng& rng) {
  if (b.size() < 4) return;
  const bool real = b.size() >= 8 && rng() % 2 == 0;
  const std::size_t at = 4 * below(rng, (b.size() - (real ? 8 : 4)) / 4 + 1);
  if (real) {
    double x;
    std::memcpy(&x, b.data() + at, 8);
    x = new_real(x, rng);
    std::memcpy(b.data() + at, &x, 8);
  } else {
    std::int32_t v;
    std::memcpy(&v, b.data() + at, 4);
    v = new_integer(v, rng);
    std::memcpy(b.data() + at, &v, 4);
  }
}

// One mutation of the records; the result may be longer than allowed.
Bytes mutate(Records r, Rng& rng) {
  const std::size_t i = pick(r, rng);
  Bytes& b = r.rec[i];
  const unsigned op = rng() % 16;
  if (op < 8) {
    mutate_value(b, rng);
  } else if (op == 8) {
    r.rec.erase(r.rec.begin() + static_cast<long>(i));
  } else if (op == 9) {
    r.rec.insert(r.rec.begin() + static_cast<long>(i), b);
  } else if (op == 10) {
    if (i + 1 < r.rec.size()) std::swap(b, r.rec[i + 1]);
  } else if (op == 11) {
    if (!b.empty()) b.resize(below(rng, b.size()));  // a shorter record, framed as such
  } else if (op == 12) {
    // The file ends inside record i.
    r.rec.resize(i + 1);
    Bytes whole = join(r);
    whole.resize(whole.size() - 1 - below(rng, b.size() + 8));
    return whole;
  } else if (op == 13) {
    // One of its lengths no longer matches.
    Bytes whole;
    Records head{{r.rec.begin(), r.rec.begin() + static_cast<long>(i) + 1}, {}};
    whole = join(head);
    const std::size_t at = rng() % 2 == 0 ? whole.size() - 8 - b.size() : whole.size() - 4;
    put32(whole.data() + at, static_cast<std::uint32_t>(new_integer(static_cast<std::int32_t>(b.size()), rng)));
    Records rest{{r.rec.begin() + static_cast<long>(i) + 1, r.rec.end()}, r.tail};
    const Bytes after = join(rest);
    whole.insert(whole.end(), after.begin(), after.end());
    return whole;
  } else {
    // libFuzzer's byte-wise mutation on this record's bytes alone.
    const std::size_t n = b.size();
    b.resize(n + 64);
    b.resize(LLVMFuzzerMutate(b.data(), n, b.size()));
  }
  return join(r);
}

}  // namespace

extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t* data, std::size_t size, std::size_t max_size,
                                               unsigned int seed) {
  Rng rng(seed);
  const Records r = split(data, size);
  if (r.rec.empty()) return LLVMFuzzerMutate(data, size, max_size);
  for (int attempt = 0; attempt < 4; ++attempt) {
    const Bytes out = mutate(r, rng);
    if (out.size() <= max_size && !out.empty()) {
      std::memcpy(data, out.data(), out.size());
      return out.size();
    }
  }
  return LLVMFuzzerMutate(data, size, max_size);
}

// Crossing two files: a run of records of the first replaced by the records
// at the same places in the second (the optional groups of one seed into
// another, say).
extern "C" std::size_t LLVMFuzzerCustomCrossOver(const std::uint8_t* d1, std::size_t s1, const std::uint8_t* d2,
                                                 std::size_t s2, std::uint8_t* out, std::size_t max_out,
                                                 unsigned int seed) {
  Rng rng(seed);
  Records a = split(d1, s1);
  const Records b = split(d2, s2);
  if (a.rec.empty() || b.rec.empty()) return 0;
  const std::size_t from = below(rng, b.rec.size());
  const std::size_t count = 1 + below(rng, std::min<std::size_t>(b.rec.size() - from, 64));
  if (a.rec.size() < from + count) a.rec.resize(from + count);
  std::copy(b.rec.begin() + static_cast<long>(from), b.rec.begin() + static_cast<long>(from + count),
            a.rec.begin() + static_cast<long>(from));
  if (from + count == b.rec.size()) {
    a.rec.resize(from + count);  // the end of the second file, optional groups and all
    a.tail = b.tail;
  }
  const Bytes joined = join(a);
  if (joined.size() > max_out) return 0;
  std::memcpy(out, joined.data(), joined.size());
  return joined.size();
}
