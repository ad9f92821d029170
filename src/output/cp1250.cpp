#include "output/cp1250.h"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>

namespace cifrovar {

namespace {

class Converter {
  public:
    Converter() : cd_(iconv_open("WINDOWS-1250", "UTF-8")) {
        if (cd_ == reinterpret_cast<iconv_t>(-1)) {
            throw std::runtime_error("iconv cannot convert UTF-8 to WINDOWS-1250");
        }
    }
    ~Converter() { iconv_close(cd_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    iconv_t get() const { return cd_; }

  private:
    iconv_t cd_;
};

}  // namespace

std::string to_cp1250(std::string_view utf8) {
    Converter conv;
    // A single-byte code page never needs more bytes than the UTF-8 text has.
    std::string out(utf8.size(), '\0');
    char* in = const_cast<char*>(utf8.data());
    size_t in_left = utf8.size();
    char* dst = out.data();
    size_t out_left = out.size();
    if (iconv(conv.get(), &in, &in_left, &dst, &out_left) == static_cast<size_t>(-1)) {
        const int err = errno;
        throw std::runtime_error(err == EINVAL ? "text ends inside a UTF-8 sequence"
                                               : "text cannot be converted to Windows-1250");
    }
    out.resize(out.size() - out_left);
    return out;
}

}  // namespace cifrovar
