// The fixed texts of the run log's lines, for the program that writes them
// and for the programs that read logs back. Header only, so that a reader
// does not link the estimation core.
#pragma once

#include <string_view>

namespace dorvu::log_lines {

// Input errors, before anything else.
inline constexpr std::string_view CardinalityError = "an error in cardinality of scenario, sorry";
inline constexpr std::string_view NoiseError = "an error in level of randomness, sorry";
inline constexpr std::string_view LeafErrorPrefix = "an error in data on the leaf ";  // then the leaf, 1 to 64

// The parameters as read.
inline constexpr std::string_view CardinalityPrefix = "presupposed cardinality of scenario=";
inline constexpr std::string_view NoisePrefix = "noise level=";
inline constexpr std::string_view CardinalityLimitPrefix = "cardinality of scenario limited to ";

// The search: "done K of N" as each top-level branch begins, and the memory
// messages.
inline constexpr std::string_view ProgressPrefix = "done ";
inline constexpr std::string_view ProgressOf = " of ";
inline constexpr std::string_view MainMemoryFull = "I want more main memory!";
inline constexpr std::string_view AddMemoryFull = "I want more add memory!";

// The report.
inline constexpr std::string_view ReportHeading = "the best scenario:";
inline constexpr std::string_view PenaltyPrefix = "its penalty=";
inline constexpr std::string_view ValuesHeading = "distribution values:";
inline constexpr std::string_view VertexPrefix = "vertex ";  // then the name, ":" and " A:a C:c G:g T:t"

}  // namespace dorvu::log_lines
