#include "msgcore/archive.hpp"

#include <utility>

#include "base/bytes.hpp"

namespace msg {
namespace {

// Bytes of body, and of index, held before they go to a sink.
constexpr std::size_t kPiece = std::size_t{1} << 20;

}  // namespace

ArchiveWriter::ArchiveWriter(bool table_mode, Sink body_sink, Sink index_sink,
                             std::uint64_t max_body)
    : table_mode_(table_mode),
      body_sink_(std::move(body_sink)),
      index_sink_(std::move(index_sink)),
      max_body_(max_body) {}

bool ArchiveWriter::end_message() {
  const auto length = static_cast<std::uint32_t>(body_.size() - start_);
  ++messages_;
  end_ += length;
  bytes::append_be32(index_, table_mode_ ? end_ : length);
  if (passed_on_ + body_.size() > max_body_) {
    too_large_ = true;
    return false;
  }
  if (body_sink_ && body_.size() >= kPiece) {
    body_sink_(body_);
    passed_on_ += body_.size();
    body_.clear();
  }
  if (index_sink_ && index_.size() >= kPiece) {
    index_sink_(index_);
    index_.clear();
  }
  start_ = body_.size();
  return true;
}

void ArchiveWriter::finish() {
  if (table_mode_) bytes::append_be32(index_, 0);
  if (body_sink_) {
    body_sink_(body_);
    body_.clear();
  }
  if (index_sink_) {
    index_sink_(index_);
    index_.clear();
  }
  start_ = 0;
}

Archive compile_in_memory(const std::function<void(ArchiveWriter&)>& compile,
                          std::uint64_t max_body) {
  ArchiveWriter out(/*table_mode=*/false, {}, {}, max_body);
  compile(out);
  out.finish();
  Archive a;
  a.body = std::move(out.body());
  a.too_large = out.too_large();
  const std::vector<std::uint8_t>& index = out.index();
  a.lengths.reserve(index.size() / 4);
  for (std::size_t at = 0; at + 4 <= index.size(); at += 4) {
    a.lengths.push_back(bytes::load_be32(&index[at]));
  }
  return a;
}

}  // namespace msg
