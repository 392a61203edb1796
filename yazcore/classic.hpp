// Classic mode's parse, over several cores. For the encoder's own files only.
#pragma once

#include <functional>
#include <span>

#include "yazcore/encode.hpp"

namespace yazcore::detail {

// Receives the tokens of a parse in order, some at a time.
using TokenOut = std::function<void(std::span<const Token>)>;

// The classic choices for `data` (encode.hpp), byte for byte the same with any number of
// `threads` (0: as many as the machine runs at once).
void parse_classic(ByteSpan data, unsigned threads, const TokenOut& out, const Progress& progress);

}  // namespace yazcore::detail
