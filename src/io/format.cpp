// The edit-descriptor interpreter: walks the parsed descriptors over a list
// of items, record by record.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC optimize("no-tree-loop-distribute-patterns")  // short copies stay loops
#endif

#include "io/format.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "io/format_quick.h"

namespace nlf {

namespace {

using K = Format::Node::K;
using format_detail::edit;
using format_detail::edit_run;
using format_detail::field_room;
using format_detail::kMaxDepth;
using format_detail::kSlack;

class Collect : public RecordSink {
 public:
  std::vector<std::string> out;
  void record(std::string_view text) override { out.emplace_back(text); }
};

}  // namespace

void Format::apply(std::span<const Item> items, RecordSink& out) const {
  // An open parenthesised group: the node of its opening and the
  // repetitions left.
  struct OpenGroup {
    int open;
    int left;
  };
  std::array<OpenGroup, kMaxDepth + 1> stack;
  int sp = 0;
  std::size_t next = 0;
  int scale = 0;    // every application starts at 0P
  int pending = 0;  // blanks from nX, written only when something follows
  const Node* const nodes = nodes_.data();
  const int end = static_cast<int>(nodes_.size());
  // The record is built in rec, which only grows (in the first
  // applications), and is len characters long; the fields' slack lies
  // beyond it. Its start and size are kept at hand in buf and cap. The
  // buffer belongs to the thread, so that runs in several threads can share
  // the formats.
  thread_local std::string rec(256, ' ');
  std::size_t len = 0;
  char* buf = rec.data();
  std::size_t cap = rec.size();
  auto room = [&](std::size_t k) {
    if (len + k + kSlack > cap) {
      rec.resize(std::max(len + k + kSlack, 2 * cap));
      buf = rec.data();
      cap = rec.size();
    }
    return buf + len;
  };
  auto emit = [&] {
    out.record(std::string_view(buf, len));
    len = 0;
    pending = 0;
  };
  auto settle = [&] {
    if (pending > 0) {
      char* const o = room(static_cast<std::size_t>(pending));
      if (pending <= 16)  // a row of 16 blanks; the slack takes the rest
        std::memcpy(o, "                ", 16);
      else
        std::memset(o, ' ', static_cast<std::size_t>(pending));
      len += static_cast<std::size_t>(pending);
    }
    pending = 0;
  };
  int pc = 0;
  for (;;) {
    if (pc == end) {
      if (next >= items.size()) break;
      if (!reversion_has_data_)
        throw std::invalid_argument("format " + text_ + ": items left but no data descriptor");
      emit();  // format reversion starts a new record
      pc = reversion_;
      sp = 0;
      continue;
    }
    const Node& n = nodes[pc];
    switch (n.k) {
      case K::Open:
        stack[static_cast<std::size_t>(sp++)] = OpenGroup{pc, n.repeat};
        ++pc;
        break;
      case K::Close: {
        OpenGroup& f = stack[static_cast<std::size_t>(sp - 1)];
        if (--f.left > 0) {
          pc = f.open + 1;
        } else {
          --sp;
          ++pc;
        }
        break;
      }
      case K::P:
        scale = n.w;
        ++pc;
        break;
      case K::X:
        pending += n.w;
        ++pc;
        break;
      case K::Lit: {
        settle();
        char* o = room(n.len);
        const char* t = text_.data() + n.off;
        if (n.len <= 8) {  // the usual short text, without a call
          for (std::uint32_t i = 0; i < n.len; ++i) o[i] = t[i];
        } else {
          std::memcpy(o, t, n.len);
        }
        len += n.len;
        ++pc;
        break;
      }
      case K::Slash:
        for (int i = 0; i < n.repeat; ++i) emit();
        ++pc;
        break;
      case K::Colon:
        if (next >= items.size()) goto done;
        ++pc;
        break;
      default: {  // data descriptors
        const int count = static_cast<int>(
            std::min<std::size_t>(static_cast<std::size_t>(n.repeat), items.size() - next));
        if (count > 0) settle();
        if (n.w >= 0) {  // fixed widths: room for the whole run at once
          char* const start = room(static_cast<std::size_t>(count) * static_cast<std::size_t>(n.w));
          char* o = start;
          edit_run(o, n, items.data() + next, count, scale);
          next += static_cast<std::size_t>(count);
          len += static_cast<std::size_t>(o - start);
        } else {
          for (int i = 0; i < count; ++i) {
            const Item& it = items[next++];
            char* const start = room(field_room(n, it));
            char* o = start;
            edit(o, n, it, scale);
            len += static_cast<std::size_t>(o - start);
          }
        }
        if (count < n.repeat) goto done;
        ++pc;
        break;
      }
    }
  }
done:
  out.record(std::string_view(buf, len));
}

std::vector<std::string> Format::lines(std::span<const Item> items) const {
  Collect c;
  apply(items, c);
  return std::move(c.out);
}

std::string free_format(std::initializer_list<Item> items) {
  std::string s;
  for (const Item& it : items) {
    s.push_back(' ');
    switch (it.kind) {
      case Item::Kind::Int:
        s += std::to_string(it.i);
        break;
      case Item::Kind::Text:
        s.append(it.s);
        break;
      case Item::Kind::Real: {
        if (std::isnan(it.d)) {
          s += "NaN";
        } else if (std::isinf(it.d)) {
          s += it.d > 0 ? "Infinity" : "-Infinity";
        } else {
          std::array<char, 64> b;
          auto res = std::to_chars(b.data(), b.data() + b.size(), it.d);
          s.append(b.data(), res.ptr);
        }
        break;
      }
    }
  }
  return s;
}

std::string message_number(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%G", v);
  return buf;
}

}  // namespace nlf
