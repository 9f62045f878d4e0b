#pragma once

#include <string>
#include <string_view>

// Text from outside (names, numbers, paths, message texts, a backup's
// device name) made safe to print to a terminal: a control character in it
// would be obeyed by the terminal, so an ESC sequence in a contact's name
// could move the cursor, retitle the window or hide the lines before it.
class TerminalText {
public:
    // `text` with every control character (C0 including tab and line feed,
    // DEL, C1) and every byte that is not part of valid UTF-8 replaced by
    // U+FFFD; everything else as it was, so the result is valid UTF-8.
    static std::string safe(std::string_view text);
};
