// parameter_vocabulary: the words a scenario line names that the component
// may not know, and the nearest known one to suggest in the warning.
//
// The parameter names come from the module itself: a spare component is
// made through the export with a host link that answers nothing, asked
// "_commands" and "return=all" (the names before '=' in each answer line),
// its answers given back with code 5, and deleted. The components of the
// run never see it, so no transcript, event record or replay changes; a
// module whose components answer neither query has no list, and then no
// name is questioned.
#pragma once

#include <string>
#include <vector>

#include "zelm_module_export.h"

// Parameter names a host hands every component whatever it lists: the
// queries of the host protocol and the instance name.
const std::vector<std::string>& hostParameterNames();

// The names a component of the module lists, in the order of its answers,
// each once; empty when it lists none. At most `maxNames` names of at most
// `maxNameLength` bytes are kept, and each answer is read up to
// `maxAnswerBytes`.
std::vector<std::string> askParameterNames(zelm_load_function entry, const std::string& loadData);
constexpr std::size_t maxNames = 256;
constexpr std::size_t maxNameLength = 64;
constexpr std::size_t maxAnswerBytes = 65536;

// The name of "NAME=VALUE" (the whole text without '=').
std::string parameterNameOf(const std::string& text);

// The one of `known` nearest to `word`: an equal one ignoring case first,
// else the fewest edits (an insertion, deletion, change or swap of two
// neighbours each) when they are few for the word's length; "" when none
// is near, or two are equally near.
std::string nearestName(const std::string& word, const std::vector<std::string>& known);
