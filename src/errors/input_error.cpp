#include "errors/input_error.h"

namespace cifrovar {

void raise_input_error(const std::string& message) { throw Evlastni(message); }

std::string shown_message(const std::string& message) {
    if (message.empty()) return message;
    // The last byte of a UTF-8 text is either ASCII or a continuation byte of a letter above
    // "." in any code page, so a byte comparison decides like the single-byte original.
    const auto last = static_cast<unsigned char>(message.back());
    if (last > static_cast<unsigned char>('.')) return message + ".";
    return message;
}

}  // namespace cifrovar
