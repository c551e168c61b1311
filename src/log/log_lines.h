// The fixed texts of the run log's lines and of the input's header lines, for
// dorvu and for the programs that write its input or read its log back.
// Header only, so that they do not link the estimation core.
#pragma once

#include <string_view>

namespace dorvu::log_lines {

// The input's header lines, each followed by its value; the most marks a run searches.
inline constexpr std::string_view kInputCardinalityPrefix = "presupposed cardinality of scenario=";
inline constexpr std::string_view kInputNoisePrefix = "level of randomness=";
inline constexpr int kMaxCardinality = 20;

// Input errors, before anything else.
inline constexpr std::string_view kCardinalityError = "an error in cardinality of scenario, sorry";
inline constexpr std::string_view kNoiseError = "an error in level of randomness, sorry";
inline constexpr std::string_view kLeafErrorPrefix = "an error in data on the leaf ";  // then the leaf, 1 to 64

// The parameters as read.
inline constexpr std::string_view kCardinalityPrefix = kInputCardinalityPrefix;  // the input's line, echoed
inline constexpr std::string_view kNoisePrefix = "noise level=";
inline constexpr std::string_view kTreePrefix = "tree=";  // then the tree in Newick, for a tree read from a file
inline constexpr std::string_view kCardinalityLimitPrefix = "cardinality of scenario limited to ";

// The search: "done K of N" as each top-level branch begins, and the memory
// messages.
inline constexpr std::string_view kProgressPrefix = "done ";
inline constexpr std::string_view kProgressOf = " of ";
inline constexpr std::string_view kMainMemoryFull = "I want more main memory!";
inline constexpr std::string_view kAddMemoryFull = "I want more add memory!";

// The report.
inline constexpr std::string_view kReportHeading = "the best scenario:";
inline constexpr std::string_view kPenaltyPrefix = "its penalty=";
inline constexpr std::string_view kValuesHeading = "distribution values:";
inline constexpr std::string_view kVertexPrefix = "vertex ";  // then the name, ":" and " A:a C:c G:g T:t"

}  // namespace dorvu::log_lines
