// Fills the "%s" and "%d" of a message format that may come from a dictionary file, so a
// translator's text is never handed to a printf-style function.
#pragma once

#include <initializer_list>
#include <string>

namespace Q {

// Each "%s" takes the next of `texts` (null counts as empty), each "%d" the next of
// `numbers`, and "%%" gives a percent sign. Anything else, a "%s" or "%d" whose
// arguments are used up included, is copied as it stands.
std::wstring SafeFormat(const wchar_t* format, std::initializer_list<const wchar_t*> texts,
                        std::initializer_list<long long> numbers = {});

}  // namespace Q
