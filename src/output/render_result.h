#pragma once

#include <cstdint>
#include <string>

#include "engine/calc_state.h"
#include "output/text_sink.h"

namespace cifrovar {

class Engine;

// The figures of one rendering of the result.
struct RenderInfo {
    int64_t significant_top = 0;  // highest positive limb; 0 for the zero result
    int64_t digit_count = 1;      // decimal digits of the result, cut zeros included
    int64_t trimmed_limbs = 0;    // trailing zero limbs written as " x 10^" instead
};

RenderInfo result_info(const CalcState& state, bool trim);

// The calculation as the viewer describes it ("2 ^ 1000", "100 !", "Variace 3. třídy z(e) 10
// prvků"); empty for a kind outside the four calculations.
std::string calculation_description(const CalcState& state);

// The calculation line of the header (UTF-8) for the stored operands; empty for a kind
// outside the four calculations.
std::string calculation_line(const CalcState& state);

// Writes the result text: with_header adds the four header lines in Windows-1250, each ending
// in CR LF; then the digits line without a terminator. Streams limb by limb. Throws SinkError
// from the sink and std::out_of_range for limbs outside their radix. Returns what it measured.
RenderInfo write_result_text(TextSink& sink, const CalcState& state, bool with_header, bool trim);

// Renders the engine's current result into the file at path (trimming as the engine's
// settings say, wrapped when wrap_width is 1 .. 512, unwrapped when 0). The file is replaced
// only once it is complete; a failure leaves an existing file untouched, puts the window into
// its finished state, reports "Soubor <path> nelze uložit" and raises the input error.
RenderInfo render_result(Engine& engine, const std::string& path, bool with_header,
                         int wrap_width = 0);

// Renders the result without a header into a file the caller holds open (one that may have no
// name), from its present position; failures are told as render_result tells them, naming the
// file shown_name.
RenderInfo render_result_to(Engine& engine, int fd, const std::string& shown_name);

}  // namespace cifrovar
