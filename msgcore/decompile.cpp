#include "msgcore/decompile.hpp"

#include <algorithm>
#include <cstdio>

#include "base/bytes.hpp"
#include "msgcore/archive.hpp"

namespace msg {

namespace {

std::string byte_count(std::uint64_t n) {
  return std::to_string(n) + (n == 1 ? " byte" : " bytes");
}

}  // namespace

MessageEnds read_index(std::span<const std::uint8_t> index, bool table_mode,
                       std::uint64_t body_size) {
  MessageEnds r;
  const auto fail = [&r](bool in_body, std::string text) {
    r.ends.clear();
    r.problem = ArchiveProblem{in_body, std::move(text)};
    return r;
  };
  // The compilers write no larger body, and the ends are kept in 32 bits.
  if (body_size > kMaxBody) {
    return fail(true, "the body has " + std::to_string(body_size) + " bytes, more than the " +
                          std::to_string(kMaxBody) + " an archive's offsets can reach");
  }
  const std::size_t size = index.size();
  if (size % 4 != 0) {
    return fail(false, "the last word, at byte " + std::to_string(size / 4 * 4) +
                           ", is cut short (the index is " + byte_count(size) +
                           " long, not a multiple of 4)");
  }
  std::size_t words = size / 4;
  if (table_mode) {
    if (words == 0) {
      return fail(false, "the table is empty: its closing zero word, at byte 0, is missing");
    }
    const std::uint32_t last = bytes::load_be32(&index[size - 4]);
    if (last != 0) {
      return fail(false, "the table does not end in a zero word: the last word, at byte " +
                             std::to_string(size - 4) + ", is " + std::to_string(last) +
                             " (an offset file is read with /o)");
    }
    --words;
  }
  r.ends.reserve(words);
  std::uint64_t end = 0;
  for (std::size_t k = 0; k < words; ++k) {
    const std::uint32_t word = bytes::load_be32(&index[4 * k]);
    const std::string at = "at byte " + std::to_string(4 * k);
    std::uint64_t next = end + word;
    if (table_mode) {
      if (word < end) {
        return fail(false, "the entry " + at + " (" + std::to_string(word) +
                               ") is less than the one before it (" + std::to_string(end) + ")");
      }
      next = word;
    }
    if (next > body_size) {
      std::string text = table_mode ? "the entry " : "the length ";
      text += at + " (" + std::to_string(word);
      if (table_mode) {
        text += ") points past the end of the body (the body has ";
        text += byte_count(body_size) + ")";
      } else {
        text += ") runs past the end of the body (to offset " + std::to_string(next);
        text += "; the body has " + byte_count(body_size) + "; a table file is read without /o)";
      }
      return fail(false, std::move(text));
    }
    r.ends.push_back(static_cast<std::uint32_t>(next));
    end = next;
  }
  if (end < body_size) {
    return fail(true, "the body is longer than the index covers: its bytes from offset " +
                          std::to_string(end) + " on (" + byte_count(body_size - end) +
                          ") belong to no message");
  }
  return r;
}

bool check_dump_line(std::span<const std::uint8_t> piece, std::span<const std::uint8_t> bytes,
                     CheckScratch& scratch) {
  scratch.body.clear();
  const unsigned long reports = scratch.diag.reports();
  const Message m = encode_text_message(piece, 0, scratch.body, scratch.diag);
  return scratch.diag.reports() == reports && !m.unclosed && m.last && m.next == piece.size() &&
         std::equal(scratch.body.begin(), scratch.body.end(), bytes.begin(), bytes.end());
}

namespace {

constexpr const char* kByteOrderMark = "\xEF\xBB\xBF";
constexpr const char* kLineEnd = "\r\n";

}  // namespace

std::optional<std::size_t> decompile(std::span<const std::uint8_t> body,
                                     std::span<const std::uint32_t> ends, const Layout& layout,
                                     const TextSink& sink) {
  constexpr std::size_t kPiece = std::size_t{1} << 20;
  const bool sylk = layout.form == SourceForm::sylk;
  TextBuffer out;
  TagChecker tags;
  CheckScratch scratch;
  out.append(sylk ? "ID;PMSG2SLK\r\n" : kByteOrderMark);
  // The text column holds long texts: open it wide.
  if (sylk) out.append(layout.line_numbers ? "F;W2 2 80\r\n" : "F;W1 1 80\r\n");
  std::uint32_t start = 0;
  for (std::size_t k = 0; k < ends.size(); ++k) {
    const std::span<const std::uint8_t> bytes = body.subspan(start, ends[k] - start);
    start = ends[k];
    if (sylk) {
      const std::string row = std::to_string(k + 1);
      out.append(layout.line_numbers ? "C;Y" + row + ";X1;K" + std::to_string(k) + "\r\nC;X2;K\""
                                     : "C;Y" + row + ";X1;K\"");
    } else if (layout.line_numbers) {
      out.append(std::to_string(k));
      out.append("\t");
    }
    const std::size_t text = out.size();
    // Closes the message; returns what the compiler reads of it: a dump text with its line end, a
    // cell text with its quotation marks.
    const auto close = [&] {
      out.append(sylk ? "\"\r\n" : kLineEnd);
      return sylk ? out.bytes(text - 1, out.size() - 2) : out.bytes(text, out.size());
    };
    // A last empty message of a dump without line numbers would be a blank line at the end of
    // the file, which looks like none: it is the empty hex run.
    const bool last_empty = !sylk && !layout.line_numbers && bytes.empty() && k + 1 == ends.size();
    if (last_empty) {
      hex_message(bytes, out);
      close();
    } else if (decode_message(bytes, layout.form, out, &tags)) {
      close();
    } else {
      out.resize(text);
      hex_message(bytes, out);
      if (layout.check == nullptr || !layout.check(close(), bytes, scratch)) return k;
    }
    if (out.size() >= kPiece) {
      sink(out.view());
      out.clear();
    }
  }
  if (sylk) out.append("E\r\n");
  sink(out.view());
  return std::nullopt;
}

}  // namespace msg
