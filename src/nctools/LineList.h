#pragma once
// A program text as a list of lines, the way the text control holds it: a line ends at
// CR LF, at LF or at a lone CR; blank lines are kept; a break at the very end of the text
// does not open another line. Written back, every line ends with CR LF.
#include <string>
#include <string_view>
#include <vector>

std::vector<std::string> SplitLines(std::string_view text);
std::string JoinLinesCrLf(const std::vector<std::string>& lines);
