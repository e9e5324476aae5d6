// Settings and prompt texts: every user-visible text a script keyword can replace, with its
// default; title, colours and fonts.
#pragma once

namespace qm {

struct Settings {};

}  // namespace qm
