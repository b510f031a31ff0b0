// The TOML parser that reads structure files asks of characters beyond ASCII
// whether they are blanks, and for three ranges of them (U+00A1 to U+0499,
// U+2C8E to U+3087, U+FE66 to U+FEFE) its answer runs into code it declares
// unreachable: undefined behaviour, from a file anyone can write. It asks
// only in three places: outside quoted text, right after a backslash in a
// multi-line "..." text, and of the first character after the blanks that
// follow a line-ending backslash there.
//
// So the file is looked over before the parser sees it. A character beyond
// ASCII in the first two places is never valid TOML and is refused; in the
// third it is valid and goes to the parser as its \u escape, which reads the
// same.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace potclock {

// A place in a text, both from 1, as the parser counts them: the column in
// characters, not bytes.
struct TextPosition {
  std::uint32_t line = 1, column = 1;
  auto operator<=>(const TextPosition&) const = default;
};

struct GuardedToml {
  // What the parser is given: the file with the escapes, and cut before
  // `stray` when there is one.
  std::string text;
  // The first character the parser must not see, at its place in `text`,
  // and the problem to report for it.
  struct Stray {
    TextPosition at;
    std::string problem;
  };
  std::optional<Stray> stray;
  // Each escape written in place of a character: where it starts in `text`
  // and how many columns longer than the character it is.
  struct Escape {
    TextPosition at;
    std::uint32_t extra;
  };
  std::vector<Escape> escapes;

  // A place the parser gives in `text`, as it stands in the file.
  TextPosition inFile(TextPosition at) const;
};

GuardedToml guardToml(std::string_view file);

}  // namespace potclock
